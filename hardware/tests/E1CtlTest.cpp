// E1 trunk control on the simulated maintenance and CAS devices, beyond what
// the end-to-end test shows: failures of every request, the transmit-clock
// mask's edges, the CAS command table and a CAS device that goes away.

#include <iostream>

#include "board/sim/E1Cas.h"
#include "hardware/tests/Support.h"

using Testing::Capture;
using Testing::count;
using hw::board;
using hw::casFrame;
using hw::Frames;
using hw::Lines;
using hw::success;

namespace {

LGCP::Command trunkCfg(int trunk, LGCP::TrunkMode::NamedNumber mode) {
  LGCP::Command cmd;
  cmd.select_trunkCfg().set_trunk(trunk);
  cmd.select_trunkCfg().set_mode(mode);
  return cmd;
}

// cas {trunk, timeslot} with cmd 'o'pen, 's'et (both with v), 'g'et or 'c'lose.
LGCP::Command cas(int trunk, int timeslot, char what, int v = 0) {
  LGCP::Command cmd;
  LGCP::CasCommand& c = cmd.select_ioctl().select_cas();
  c.get_channel().set_path(trunk);
  c.get_channel().set_timeslot(timeslot);
  if (what == 'o') c.get_cmd().select_open().setValue(v);
  if (what == 's') c.get_cmd().select_set().setValue(v);
  if (what == 'g') c.get_cmd().select_get();
  if (what == 'c') c.get_cmd().select_close();
  return cmd;
}

const Frames done{success};

}  // namespace

class E1CtlTest : public hw::ServiceTest {};

TEST_F(E1CtlTest, AStatusReadFailureIsLoggedPerTrunkAndTheNextPollRecovers) {
  board("fail maintenance ioctl 0xC0504D03 EIO");
  Capture err(std::cerr);
  EXPECT_TRUE(hw::statuses(advance(E1Ctl::StatusPeriodMs), ACP::TrunkType::e1).empty());
  for (int n = 0; n < 4; ++n)
    EXPECT_EQ(count(err.str(), "E1: synchronization status read fail, trunk = " + std::to_string(n) +
                                   " cause = Input/output error\n"),
              1u);
  board("heal maintenance");
  EXPECT_EQ(hw::statuses(advance(E1Ctl::StatusPeriodMs), ACP::TrunkType::e1).size(), 4u);
}

TEST_F(E1CtlTest, TrunkCfgEdgesAndARefusedMask) {
  EXPECT_EQ(command(trunkCfg(31, LGCP::TrunkMode::slave)), done);
  EXPECT_EQ(command(trunkCfg(32, LGCP::TrunkMode::slave)), done);          // no bit: pushed unchanged
  EXPECT_EQ(command(trunkCfg(2147483647, LGCP::TrunkMode::master)), done);  // likewise
  EXPECT_EQ(command(trunkCfg(-1, LGCP::TrunkMode::slave)), done);          // nothing at all
  EXPECT_EQ(board("maintenance tclk"), (Lines{"tclk 0x00000000", "tclk 0x80000000", "tclk 0x80000000",
                                              "tclk 0x80000000"}));
  board("fail maintenance ioctl 0xC0044D0B EIO");
  Capture err(std::cerr);
  EXPECT_EQ(command(trunkCfg(1, LGCP::TrunkMode::slave)), done);
  EXPECT_EQ(err.str(), "E1: fail to set TCLK [cause=Input/output error]\n");
  EXPECT_EQ(E1Ctl::instance().TransmitClockMask(), 0x80000002u);
}

TEST_F(E1CtlTest, CasCommandsOnChannelsTrunkTimeslotsAndBadTrunks) {
  EXPECT_EQ(command(cas(1, 5, 'o', 0x1D)), (Frames{casFrame(1, 0, 0, 0), casFrame(1, 5, 0, 0xD), success}));
  board("e1-cas rx 1 5 0xA");
  EXPECT_EQ(settle(), Frames{casFrame(1, 5, 0xA, 0xD)});
  const struct {
    int trunk, timeslot;
    char what;
    int v;
    Frames answer;
  } steps[] = {
      {1, 5, 's', 0xF6, {casFrame(1, 5, 0xA, 6), success}},
      {1, 5, 'g', 0, {casFrame(1, 5, 0xA, 6), success}},
      {1, 5, 'c', 0, {casFrame(1, 5, -1, 1), success}},
      // The channel is closed now: the driver refuses each request.
      {1, 5, 'c', 0, {casFrame(1, 5, -1, 0), success}},
      {1, 5, 's', 1, {casFrame(1, 5, -1, 0), success}},
      {1, 5, 'g', 0, {casFrame(1, 5, -1, 0), success}},
      // Timeslots 0 and 16 belong to the trunk.
      {1, 16, 'o', 3, {casFrame(1, 0, 0, 0), success}},
      {1, 16, 'c', 0, done},
      {1, 0, 'c', 0, {casFrame(1, 0, 1, 0), success}},
      // A closed trunk.
      {1, 9, 'g', 2, done},
      {1, 9, 's', 2, done},
      {1, 9, 'c', 2, done},
  };
  for (const auto& k : steps) {
    EXPECT_EQ(command(cas(k.trunk, k.timeslot, k.what, k.v)), k.answer) << k.trunk << "/" << k.timeslot << k.what;
  }
  for (int trunk : {4, -1, 2147483647}) {
    for (char what : {'o', 's', 'g', 'c'}) EXPECT_EQ(command(cas(trunk, 1, what, 1)), done) << trunk << what;
  }
  LGCP::Command other;
  other.select_ioctl().select_dtmf_disable();
  EXPECT_EQ(command(other), done);
  EXPECT_EQ(board("e1-cas state"), (Lines{"trunk 0 closed", "trunk 1 closed", "trunk 2 closed", "trunk 3 closed"}));
}

TEST_F(E1CtlTest, RefusedCasRequestsReachTheControllerAsNegativeRx) {
  board("fail e1-cas ioctl 0xC0104304 EIO");
  EXPECT_EQ(command(cas(3, 7, 'o', 1)), (Frames{casFrame(3, 0, 0, 0), casFrame(3, 7, -1, 0), success}));
  board("heal e1-cas");
  board("fail e1-cas ioctl 0x80044301 EIO");
  EXPECT_EQ(command(cas(3, 0, 'c')), (Frames{casFrame(3, 0, -1, 0), success}));
  EXPECT_TRUE(E1Ctl::instance().CasOpen(3));  // a refused close keeps the trunk open
  board("heal e1-cas");
}

TEST_F(E1CtlTest, DriverRecordsALostDeviceAndControllerLoss) {
  ASSERT_EQ(command(cas(0, 1, 'o')).size(), 3u);
  board("e1-cas event 0000000000000001");          // short: ignored
  board("e1-cas event 00000003fffffffe80f0abcd");  // taken as it comes
  EXPECT_EQ(settle(), Frames{casFrame(3, -2, 0x80, 0xF0)});

  // A driver reload: the descriptor hangs up, is dropped once with the trunks
  // opened through it, and the poll opens the device again.
  Capture log(std::clog);
  Board::Sim::install(std::make_unique<Board::Sim::E1Cas>());
  settle();
  EXPECT_EQ(count(log.str(), "E1: cas interface lost: "), 1u) << log.str();
  EXPECT_FALSE(E1Ctl::instance().CasOpen(0));
  advance(E1Ctl::StatusPeriodMs);
  EXPECT_EQ(count(log.str(), "E1: cas interface opened!\n"), 1u);
  EXPECT_EQ(count(log.str(), "cas interface lost"), 1u);
  board("e1-cas rx 0 1 5");
  EXPECT_EQ(settle(), Frames{casFrame(0, 1, 5, 0)});

  board("fail e1-cas ioctl 0x80044300 EIO");
  Capture failed(std::clog);
  EXPECT_EQ(command(cas(2, 3, 'o')), (Frames{casFrame(2, 0, -1, 0), success}));
  EXPECT_EQ(count(failed.str(), "E1: open cas signalling on trunk(2) - fail(-1)\n"), 1u);
  board("heal e1-cas");
  // Controller loss closes every trunk still open.
  ASSERT_EQ(command(cas(2, 0, 'o')).size(), 2u);
  ASSERT_EQ(command(cas(0, 1, 'o')).size(), 3u);
  disconnect();
  EXPECT_FALSE(E1Ctl::instance().CasOpen(0));
  EXPECT_FALSE(E1Ctl::instance().CasOpen(2));
  EXPECT_EQ(board("e1-cas state"), (Lines{"trunk 0 closed", "trunk 1 closed", "trunk 2 closed", "trunk 3 closed"}));
}
