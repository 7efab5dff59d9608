// PSTN signalling slots of the real daemon, driven by the controller, with
// peers on their channels' far-end sockets standing for the lines: an SS7
// link on E1 trunk 0, Q.921 on a BRI line and CAS on E1 trunk 3. Signal units
// and frames are compared byte for byte; the rules of each kind are the
// in-process scenarios' (signalling/tests/pstn).

#include <gtest/gtest.h>

#include <string>

#include "board/sim/FarEndClient.h"
#include "server/tests/Harness.h"
#include "testing/Frames.h"

using namespace e2e;

namespace {

class Pstn : public Served {
protected:
  void expect(const std::string& message, const Lines& messages) {
    controller.send(message);
    awaits(messages);
  }
  // The messages in order; statistics and trunk statuses on their own clocks pass by between them.
  void awaits(const Lines& messages) {
    for (const std::string& m : messages) {
      std::string got;
      do {
        got = controller.receive(4000);
      } while (!got.empty() && got != Testing::lgcp(m) && passes(got));
      EXPECT_TRUE(Testing::sameFrames({Testing::lgcp(m)}, {got}));
    }
  }
  static bool passes(const std::string& payload) {
    const std::string text = Testing::notation(payload);
    return text.find("LinkInfo") != std::string::npos || text.find("trunkStatus") != std::string::npos;
  }
  // The line's peer on a channel's far end.
  void attach(Board::Sim::FarEndClient& line, int32_t channel) {
    const std::string farEnd = "mcc farend " + std::to_string(channel);
    ASSERT_TRUE(line.connect(channel, 3000, daemon.root()));
    ASSERT_TRUE(waitFor([&] { return control(farEnd)[0].find(" attached") != std::string::npos; }));
  }
  // The frames the peer must hear next, in hex; then it says `reply`.
  static void hears(Board::Sim::FarEndClient& line, const Lines& frames, const std::string& reply = "") {
    for (const std::string& want : frames) {
      std::string frame;
      EXPECT_TRUE(line.receive(frame, 3000)) << want;
      EXPECT_EQ(Testing::hex(frame), want);
    }
    if (!reply.empty()) {
      EXPECT_TRUE(line.send(Testing::bytes(reply)));
    }
  }
};

TEST_F(Pstn, Ss7IsdnAndCasSlotsCarryTheirUnitsAndReportTheirLinks) {
  expect(cmd(1, 1, "create : trunk : { trunk 0, timeslot 16 }"),
         {ok(1, 1), sig(1, "transmitter : active : 16"), sig(1, "receiver : active : 16")});
  expect(cmd(2, 2, "create : pstn : ss7 : { trunk 1, slc 0, dpc 2, opc 1, emergency TRUE }"), {ok(2, 2)});
  expect(cmd(3, 1, "connect : 2"), {sig(2, "receiver : active : -1"), ok(3, 1)});
  // The far end's SIE: both prove for 500 ms, then the far end's FISU puts the link in service.
  Board::Sim::FarEndClient ss7;
  attach(ss7, 256);
  hears(ss7, {}, "ffff0102");
  hears(ss7, {"ffff0102", "ffff00"}, "ffff00");
  hears(ss7, {"ffff00", "ffff00"}, "ff800483010203");
  hears(ss7, {"80ff00"});
  awaits({sig(2, "activated : NULL"), sig(2, "userData : '83010203'H")});
  expect(cmd(4, 2, "userData : '830a0b'H"), {ok(4, 2)});
  hears(ss7, {"808003830a0b"});
  expect(cmd(5, 2, "ioctl : ss7RqBSN : NULL"), {sig(2, "ioctl : ss7BSN : 0"), ok(5, 2)});
  expect(cmd(6, 2, "ioctl : ss7Log : { state TRUE, raw-receive FALSE, raw-transmit FALSE, mtp-transmit FALSE, "
                   "mtp-receive FALSE, mtp-activate FALSE, timers FALSE, msu-processing FALSE }"),
         {ok(6, 2)});

  // Q.921 user side on BRI line 0, channel 2, open once connected both ways:
  // the far end answers the repeated SABME and the two exchange a message each.
  expect(cmd(7, 3, "create : trunk_bri : { trunk 0, timeslot 2 }"),
         {ok(7, 3), sig(3, "transmitter : active : 2"), sig(3, "receiver : active : 2")});
  expect(cmd(8, 4, "create : pstn : isdn : { type bri, trunk 1, log 0, side user : NULL }"), {ok(8, 4)});
  expect(cmd(9, 3, "connect : 4"), {sig(4, "receiver : active : -1"), ok(9, 3)});
  expect(cmd(10, 4, "connect : 3"), {sig(4, "transmitter : active : -1"), ok(10, 4)});
  Board::Sim::FarEndClient isdn;
  attach(isdn, 257);
  hears(isdn, {"00017f"}, "000173");
  awaits({sig(4, "activated : NULL")});
  expect(cmd(11, 4, "userData : '08010205'H"), {ok(11, 4)});
  hears(isdn, {"0001000008010205"}, "0201000208018205");
  hears(isdn, {"02010102"});
  awaits({sig(4, "userData : '08018205'H")});

  // CAS on E1 trunk 3, timeslot 1: the bare channel; its counters come with the statistics.
  expect(cmd(12, 5, "create : trunk : { trunk 3, timeslot 1 }"),
         {ok(12, 5), sig(5, "transmitter : active : 97"), sig(5, "receiver : active : 97")});
  expect(cmd(13, 6, "create : pstn : cas : { trunk 4 }"), {ok(13, 6)});
  expect(cmd(14, 5, "connect : 6"), {sig(6, "receiver : active : -1"), ok(14, 5)});
  Board::Sim::FarEndClient cas;
  attach(cas, 258);
  hears(cas, {}, "0102");
  awaits({sig(6, "ioctl : hdlcLinkInfo : { txSU 0, txDiscard 0, txError 0, txOverflow 0, rxSU 1 }")});

  // BRI line 0 losing its frame leaves the SS7 link on E1 trunk 0 alone; E1 trunk 0 takes it down.
  controller.keepTrunkStatus(true);
  control("hal spi line 0 lossBF");
  const std::string bri = "trunkStatus : { trunk 0, state lossBF, slips 0, lossBF 0, lossCarrier 0, lossAIS 0, "
                          "lossRAI 0, name \"\", clockMaster FALSE, type bri }";
  std::string payload;
  do {
    payload = controller.receive(3000);
  } while (!payload.empty() && payload != Testing::lgcp(sig(NoSlot, bri)));
  ASSERT_FALSE(payload.empty()) << "no BRI line status";
  std::string frame;
  EXPECT_FALSE(ss7.receive(frame, 300)) << Testing::hex(frame);
  control("maintenance set 0 state 1");
  hears(ss7, {"ffff0103"});
  controller.keepTrunkStatus(false);
  awaits({sig(2, "deactivated : networkError")});
}

}  // namespace
