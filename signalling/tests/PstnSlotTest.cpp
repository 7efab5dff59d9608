// PSTN signalling slots in this process behind the controller server, one
// golden script per scenario (testing/ServiceFixture.h) with one more input,
// "trunkStatus TYPE TRUNK STATE" as the E1 and BRI services send it, and
// after every input the frames the channels wrote since ("written CH HEX").

#include "signalling/PstnSlot.h"
#include "slots/tdm/tests/SlotKinds.h"

namespace {

class PstnSlotKinds : public tdm::SlotKindTest {
protected:
  void SetUp() override {
    PstnFactory::instance();
    SlotKindTest::SetUp();
  }
  std::string step(const std::string& input) override {
    std::istringstream words(input);
    std::string word, type, state;
    int trunk = 0;
    std::string text;
    if (words >> word >> type >> trunk >> state && word == "trunkStatus") {
      LGCP::Signal sig;
      ACP::TrunkStatus& status = sig.select_trunkStatus();
      status.get_type().setFromName(type);
      status.set_trunk(trunk);
      status.get_state().setFromName(state);
      Slots::instance().OnSignal(sig);
      for (const std::string& message : settle()) text += message + "\n";
      text += logged();
    } else {
      text = SlotKindTest::step(input);
    }
    const tdm::Lines frames = tdm::control("mcc written");
    for (; shown < frames.size(); ++shown) text += "written " + frames[shown] + "\n";
    return text;
  }

  size_t shown = 0;
};

class PstnSlots : public PstnSlotKinds, public ::testing::WithParamInterface<const char*> {};

TEST_P(PstnSlots, Script) {
  EXPECT_TRUE(ServiceTest::script(std::string("signalling/tests/golden/pstn-") + GetParam() + ".txt"));
}

INSTANTIATE_TEST_SUITE_P(Scenarios, PstnSlots,
                         ::testing::Values("ss7-back-to-back", "ss7-emergency-t7", "ss7-trunk-alarm", "isdn-and-cas"));

// The peer that transmits to an SS7, CAS or primary-rate slot must sit on
// trunk 0..3: an E1 trunk or a BRI line 0..3 (a BRI slot gives its line as
// the trunk), never a BRI line 4..7.
TEST_F(PstnSlotKinds, ConnectTakesPeersOnTrunksZeroToThree) {
  static const char* const kinds[] = {
      "ss7 : { trunk 1, slc 0, dpc 2, opc 1, emergency FALSE }",
      "cas : { trunk 1 }",
      "isdn : { type pri, trunk 1, log 0, side user : NULL }",
  };
  struct Peer {
    const char* create;
    int refusedTrunk;  // -1 when taken
  };
  static const Peer peers[] = {
      {"trunk : { trunk 0, timeslot 1 }", -1},     {"trunk : { trunk 1, timeslot 16 }", -1},
      {"trunk : { trunk 2, timeslot 30 }", -1},    {"trunk : { trunk 3, timeslot 31 }", -1},
      {"trunk_bri : { trunk 0, timeslot 0 }", -1}, {"trunk_bri : { trunk 1, timeslot 1 }", -1},
      {"trunk_bri : { trunk 2, timeslot 2 }", -1}, {"trunk_bri : { trunk 3, timeslot 3 }", -1},
      {"trunk_bri : { trunk 4, timeslot 0 }", 4},  {"trunk_bri : { trunk 5, timeslot 1 }", 5},
      {"trunk_bri : { trunk 6, timeslot 2 }", 6},  {"trunk_bri : { trunk 7, timeslot 3 }", 7},
  };
  for (const char* kind : kinds) {
    for (const Peer& peer : peers) {
      SCOPED_TRACE(std::string(kind) + " from " + peer.create);
      send(std::string("{ slot 1, pdu command : create : pstn : ") + kind + " }");
      send(std::string("{ slot 2, pdu command : create : ") + peer.create + " }");
      logged();
      const std::string answer = step("{ slot 2, pdu command : connect : 1 }");
      const bool refused = peer.refusedTrunk >= 0;
      const std::string response = refused ? "error : connectFail" : "success : NULL";
      EXPECT_NE(answer.find("{ slot 2, pdu response : " + response + " }\n"), std::string::npos) << answer;
      if (refused) {
        const std::string line = "| pstn-slot: invalid trunk number: " + std::to_string(peer.refusedTrunk) + "\n";
        EXPECT_NE(answer.find(line), std::string::npos) << answer;
      } else {
        EXPECT_EQ(answer.find("invalid"), std::string::npos) << answer;
      }
      for (const char* slot : {"1", "2"}) send(std::string("{ slot ") + slot + ", pdu command : destroy : NULL }");
    }
  }
}

}  // namespace
