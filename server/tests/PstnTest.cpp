// PSTN signalling slots of the real daemon driven by the controller, with
// peers on their channels' far-end sockets standing for the lines: SS7 on E1
// trunk 0, Q.921 on a BRI line and CAS on E1 trunk 3, their units byte for
// byte. The rules of each kind are the in-process scenarios' (signalling/tests/pstn).

#include <gtest/gtest.h>

#include <string>

#include "board/sim/FarEndClient.h"
#include "server/tests/Harness.h"
#include "testing/Frames.h"

using namespace e2e;

namespace {

using Line = Board::Sim::FarEndClient;

class Pstn : public Served {
protected:
  // Sends; then the messages in order, statistics and trunk statuses passing by between them.
  void expect(const std::string& message, const Lines& messages) {
    if (!message.empty()) controller.send(message);
    for (const std::string& m : messages) {
      std::string got;
      do {
        got = controller.receive();
      } while (!got.empty() && got != Testing::lgcp(m) && passes(Testing::notation(got)));
      EXPECT_TRUE(Testing::sameFrames({Testing::lgcp(m)}, {got}));
    }
  }
  static bool passes(const std::string& text) {
    return text.find("LinkInfo") != std::string::npos || text.find("trunkStatus") != std::string::npos;
  }
  // A PSTN slot fed by a new trunk slot on switch channel `tdm` (a BRI kind
  // also feeds it), and the peer on its controller channel's far end.
  void open(long pstn, const std::string& what, long trunk, const std::string& where, int tdm, Line& line, bool bri) {
    const std::string active = " : active : " + std::to_string(tdm);
    expect(cmd(NoSeq, trunk, "create : " + where),
           {ok(NoSeq, trunk), sig(trunk, "transmitter" + active), sig(trunk, "receiver" + active)});
    expect(cmd(NoSeq, pstn, "create : pstn : " + what), {ok(NoSeq, pstn)});
    const auto connect = [&](long from, long to, const char* stream) {
      expect(cmd(NoSeq, from, "connect : " + std::to_string(to)), {sig(pstn, stream), ok(NoSeq, from)});
    };
    connect(trunk, pstn, "receiver : active : -1");
    if (bri) connect(pstn, trunk, "transmitter : active : -1");
    const int32_t channel = 255 + int32_t(control("mcc channels").size());
    ASSERT_TRUE(line.connect(channel, PatienceMs, daemon.root()));
    const std::string farEnd = "mcc farend " + std::to_string(channel);
    ASSERT_TRUE(waitFor([&] { return control(farEnd)[0].find(" attached") != std::string::npos; }));
  }
  // The frames the peer hears next, in hex; then it says `reply`.
  static void hears(Line& line, const Lines& frames, const std::string& reply = "") {
    for (const std::string& want : frames) {
      std::string frame;
      EXPECT_TRUE(line.receive(frame, PatienceMs)) << want;
      EXPECT_EQ(Testing::hex(frame), want);
    }
    if (!reply.empty()) {
      EXPECT_TRUE(line.send(Testing::bytes(reply))) << reply;
    }
  }
};

TEST_F(Pstn, Ss7IsdnAndCasSlotsCarryTheirUnitsAndReportTheirLinks) {
  // The far end's SIE: both prove for 500 ms; its FISU puts the link in service.
  Line ss7, isdn, cas;
  open(2, "ss7 : { trunk 1, slc 0, dpc 2, opc 1, emergency TRUE }", 1, "trunk : { trunk 0, timeslot 16 }", 16, ss7,
       false);
  hears(ss7, {}, "ffff0102");
  hears(ss7, {"ffff0102", "ffff00"}, "ffff00");
  hears(ss7, {"ffff00", "ffff00"}, "ff800483010203");
  hears(ss7, {"80ff00"});
  expect("", {sig(2, "activated : NULL"), sig(2, "userData : '83010203'H")});
  expect(cmd(NoSeq, 2, "userData : '830a0b'H"), {ok(NoSeq, 2)});
  hears(ss7, {"808003830a0b"});
  expect(cmd(NoSeq, 2, "ioctl : ss7RqBSN : NULL"), {sig(2, "ioctl : ss7BSN : 0"), ok(NoSeq, 2)});
  expect(cmd(NoSeq, 2,
             "ioctl : ss7Log : { state TRUE, raw-receive FALSE, raw-transmit FALSE, mtp-transmit FALSE, "
             "mtp-receive FALSE, mtp-activate FALSE, timers FALSE, msu-processing FALSE }"),
         {ok(NoSeq, 2)});

  // The far end answers the repeated SABME; a message each way.
  open(4, "isdn : { type bri, trunk 1, log 0, side user : NULL }", 3, "trunk_bri : { trunk 0, timeslot 2 }", 2, isdn,
       true);
  hears(isdn, {"00017f"}, "000173");
  expect("", {sig(4, "activated : NULL")});
  expect(cmd(NoSeq, 4, "userData : '08010205'H"), {ok(NoSeq, 4)});
  hears(isdn, {"0001000008010205"}, "0201000208018205");
  hears(isdn, {"02010102"});
  expect("", {sig(4, "userData : '08018205'H")});

  // The bare channel: what it receives shows in its counters only.
  open(6, "cas : { trunk 4 }", 5, "trunk : { trunk 3, timeslot 1 }", 97, cas, false);
  hears(cas, {}, "0102");
  expect("", {sig(6, "ioctl : hdlcLinkInfo : { txSU 0, txDiscard 0, txError 0, txOverflow 0, rxSU 1 }")});

  // BRI line 0 losing its frame leaves the SS7 link on E1 trunk 0 alone; E1 trunk 0 takes it down.
  controller.keepTrunkStatus(true);
  control("hal spi line 0 lossBF");
  const std::string bri = sig(NoSlot,
                              "trunkStatus : { trunk 0, state lossBF, slips 0, lossBF 0, lossCarrier 0, "
                              "lossAIS 0, lossRAI 0, name \"\", clockMaster FALSE, type bri }");
  for (std::string got; got != Testing::lgcp(bri);) ASSERT_FALSE((got = controller.receive()).empty()) << bri;
  std::string frame;
  EXPECT_FALSE(ss7.receive(frame, 300)) << Testing::hex(frame);
  control("maintenance set 0 state 1");
  hears(ss7, {"ffff0103"});
  expect("", {sig(2, "deactivated : networkError")});
}

}  // namespace
