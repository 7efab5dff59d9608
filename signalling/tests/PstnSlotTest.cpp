// PSTN signalling slots in this process behind the controller server, one
// golden script per scenario (testing/ServiceFixture.h) with one more input,
// "trunkStatus TYPE TRUNK STATE" as the E1 and BRI services send it, and
// after every input the frames the channels wrote since ("written CH HEX").

#include "signalling/PstnSlot.h"
#include "slots/tdm/tests/SlotKinds.h"

namespace {

class PstnSlots : public tdm::SlotKindTest, public ::testing::WithParamInterface<const char*> {
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

TEST_P(PstnSlots, Script) {
  EXPECT_TRUE(ServiceTest::script(std::string("signalling/tests/golden/pstn-") + GetParam() + ".txt"));
}

INSTANTIATE_TEST_SUITE_P(Scenarios, PstnSlots,
                         ::testing::Values("ss7-back-to-back", "ss7-emergency-t7", "isdn-and-cas"));

}  // namespace
