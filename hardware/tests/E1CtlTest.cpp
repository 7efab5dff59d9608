// E1 trunk control on the simulated maintenance and CAS devices, beyond what
// the end-to-end test shows: failures of every request, the transmit-clock
// mask's edges (golden/e1-tclk.txt), the CAS command table (golden/e1-cas.txt)
// and a CAS device that goes away.

#include "board/sim/E1Cas.h"
#include "hardware/tests/Support.h"

using hw::control;
using hw::Lines;
using hw::only;
using hw::success;
using Testing::count;

namespace {

std::string cas(int trunk, int timeslot, const std::string& cmd) {
  return "ioctl : cas : { channel { path " + std::to_string(trunk) + ", timeslot " + std::to_string(timeslot) +
         " }, cmd " + cmd + " }";
}

std::string casSignal(int trunk, int timeslot, int rx, int tx) {
  return "{ pdu signal : cas : { channel { path " + std::to_string(trunk) + ", timeslot " + std::to_string(timeslot) +
         " }, rx " + std::to_string(rx) + ", tx " + std::to_string(tx) + " } }";
}

}  // namespace

class E1CtlTest : public hw::ServiceTest {};

TEST_F(E1CtlTest, AStatusReadFailureIsLoggedPerTrunkAndTheNextPollRecovers) {
  control("fail maintenance ioctl 0xC0504D03 EIO");
  EXPECT_TRUE(only(advance(E1Ctl::StatusPeriodMs), "type e1").empty());
  for (int n = 0; n < 4; ++n) {
    EXPECT_EQ(count(logs.str(), "E1: synchronization status read fail, trunk = " + std::to_string(n) +
                                    " cause = Input/output error\n"),
              1u);
  }
  control("heal maintenance");
  EXPECT_EQ(only(advance(E1Ctl::StatusPeriodMs), "type e1").size(), 4u);
}

TEST_F(E1CtlTest, TrunkCfgEdgesAndARefusedMask) {
  EXPECT_TRUE(script("e1-tclk"));
  EXPECT_EQ(E1Ctl::instance().TransmitClockMask(), 0x80000002u);
}

TEST_F(E1CtlTest, CasCommandsOnChannelsTrunkTimeslotsAndBadTrunks) {
  EXPECT_TRUE(script("e1-cas"));
  EXPECT_TRUE(E1Ctl::instance().CasOpen(3));
}

TEST_F(E1CtlTest, DriverRecordsALostDeviceAndControllerLoss) {
  ASSERT_EQ(command(cas(0, 1, "open : 0")).size(), 3u);
  control("e1-cas event 0000000000000001");          // short: ignored
  control("e1-cas event 00000003fffffffe80f0abcd");  // taken as it comes
  EXPECT_EQ(settle(), Lines{casSignal(3, -2, 0x80, 0xF0)});

  // A driver reload: the descriptor hangs up, is dropped once with the trunks
  // opened through it, and the poll opens the device again.
  Board::Sim::install(std::make_unique<Board::Sim::E1Cas>());
  settle();
  EXPECT_FALSE(E1Ctl::instance().CasOpen(0));
  advance(E1Ctl::StatusPeriodMs);
  const std::string log = logs.take();
  EXPECT_EQ(count(log, "E1: cas interface lost: "), 1u) << log;
  EXPECT_EQ(count(log, "E1: cas interface opened!\n"), 1u);
  control("e1-cas rx 0 1 5");
  EXPECT_EQ(settle(), Lines{casSignal(0, 1, 5, 0)});

  control("fail e1-cas ioctl 0x80044300 EIO");
  EXPECT_EQ(command(cas(2, 3, "open : 0")), (Lines{casSignal(2, 0, -1, 0), success}));
  EXPECT_EQ(logged(), "| E1: open cas signalling on trunk(2) - fail(-1)\n");
  control("heal e1-cas");
  // Controller loss closes every trunk still open.
  ASSERT_EQ(command(cas(2, 0, "open : 0")).size(), 2u);
  ASSERT_EQ(command(cas(0, 1, "open : 0")).size(), 3u);
  disconnect();
  EXPECT_FALSE(E1Ctl::instance().CasOpen(0));
  EXPECT_FALSE(E1Ctl::instance().CasOpen(2));
  EXPECT_EQ(control("e1-cas state"), (Lines{"trunk 0 closed", "trunk 1 closed", "trunk 2 closed", "trunk 3 closed"}));
}
