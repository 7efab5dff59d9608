// E1 trunk control against the simulated maintenance and CAS devices: what a
// controller sees on connect and every second after, the transmit-clock mask,
// and the CAS command and event paths with their failures.

#include <iostream>

#include "board/sim/E1Cas.h"
#include "hardware/tests/Support.h"

using fixture::Capture;
using fixture::count;
using hw::board;
using hw::casFrame;
using hw::Frames;
using hw::success;
using OK = std::vector<std::string>;
using State = ACP::TrunkState;

namespace {

const OK ok{"OK"};

Frames e1Statuses(const Frames& all) {
  Frames picked;
  for (const std::string& f : hw::signalsOf(all, LGCP::Signal::e_trunkStatus)) {
    if (hw::decode(f).get_pdu().get_signal().get_trunkStatus().get_type().get() == ACP::TrunkType::e1)
      picked.push_back(f);
  }
  return picked;
}

LGCP::Command trunkCfg(int trunk, LGCP::TrunkMode::NamedNumber mode) {
  LGCP::Command cmd;
  cmd.select_trunkCfg().set_trunk(trunk);
  cmd.select_trunkCfg().set_mode(mode);
  return cmd;
}

LGCP::Command cas(int trunk, int timeslot, LGCP::CasCommandSignal::Alternative what, int value = 0) {
  LGCP::Command cmd;
  LGCP::CasCommand& c = cmd.select_ioctl().select_cas();
  c.get_channel().set_path(trunk);
  c.get_channel().set_timeslot(timeslot);
  switch (what) {
    case LGCP::CasCommandSignal::e_open:
      c.get_cmd().select_open().setValue(value);
      break;
    case LGCP::CasCommandSignal::e_set:
      c.get_cmd().select_set().setValue(value);
      break;
    case LGCP::CasCommandSignal::e_close:
      c.get_cmd().select_close();
      break;
    default:
      c.get_cmd().select_get();
      break;
  }
  return cmd;
}

const auto Open = LGCP::CasCommandSignal::e_open;
const auto Close = LGCP::CasCommandSignal::e_close;
const auto Set = LGCP::CasCommandSignal::e_set;
const auto Get = LGCP::CasCommandSignal::e_get;

std::vector<std::string> tclkWrites() {
  auto lines = board("maintenance tclk");
  lines.pop_back();
  return lines;
}

std::string casState() {
  std::string all;
  for (const std::string& line : board("e1-cas state")) all += line + "\n";
  return all;
}

// Open files of a simulated device, from the board's device list.
int openFiles(const std::string& path) {
  for (const std::string& line : board("devices")) {
    if (line.compare(0, path.size() + 1, path + " ") == 0) return std::stoi(line.substr(line.rfind('=') + 1));
  }
  return -1;
}

}  // namespace

class E1CtlTest : public hw::ServiceTest {};

TEST_F(E1CtlTest, ConnectReportsTheFourTrunksInOrderThenPushesAClearedMask) {
  ASSERT_EQ(board("maintenance set 0 lossBF -1 lossCarrier 1 lossRAI -1"), ok);
  ASSERT_EQ(board("maintenance set 1 state 1 slips 3 lossBF 4 lossCarrier 5 lossAIS 6 lossRAI 7"), ok);
  // States the driver gives outside the enumeration read as unknown.
  ASSERT_EQ(board("maintenance set 2 state 7"), ok);
  ASSERT_EQ(board("maintenance set 3 state 0xFFFFFFFF"), ok);
  Capture log(std::clog);
  auto c = connect();
  fixture::run_for(30);
  c->pump();
  EXPECT_EQ(c->frames, (Frames{hw::statusFrame({0, State::normal, 0, -1, 1, 0, -1}, ACP::TrunkType::e1),
                               hw::statusFrame({1, State::lossBF, 3, 4, 5, 6, 7}, ACP::TrunkType::e1),
                               hw::statusFrame({2, State::unknown}, ACP::TrunkType::e1),
                               hw::statusFrame({3, State::unknown}, ACP::TrunkType::e1)}));
  // The wire form of the first, as an independent encoder writes it.
  ASSERT_FALSE(c->frames.empty());
  EXPECT_EQ(c->frames[0], "22c0010000010001ff0101010001ff0000");
  EXPECT_EQ(tclkWrites(), OK{"tclk 0x00000000"});
  EXPECT_EQ(count(log.str(), "E1: TCLT = 0x0\n"), 1u);
  EXPECT_EQ(openFiles("/dev/e1-cas"), 1);
}

TEST_F(E1CtlTest, StatusIsPolledEverySecondAndGoesOnAfterTheControllerLeft) {
  auto c = controller();
  EXPECT_TRUE(advance(*c, E1Ctl::StatusPeriodMs - 1).empty());
  ASSERT_EQ(board("maintenance set 2 state 3 lossAIS 1"), ok);
  ASSERT_EQ(board("maintenance set 1 state 6"), ok);
  EXPECT_EQ(e1Statuses(advance(*c, 1)),
            (Frames{hw::statusFrame({0, State::normal}, ACP::TrunkType::e1),
                    hw::statusFrame({1, State::disabled}, ACP::TrunkType::e1),
                    hw::statusFrame({2, State::ais, 0, 0, 0, 1}, ACP::TrunkType::e1),
                    hw::statusFrame({3, State::normal}, ACP::TrunkType::e1)}));
  EXPECT_EQ(e1Statuses(advance(*c, E1Ctl::StatusPeriodMs)).size(), 4u);

  c.reset();
  ASSERT_TRUE(fixture::run_until([] { return fixture::first().disconnects == 1; }));
  const std::string before = board("maintenance status")[0];
  clock.advance(E1Ctl::StatusPeriodMs);
  clock.advance(E1Ctl::StatusPeriodMs);
  const std::string after = board("maintenance status")[0];
  EXPECT_NE(before, after);
  EXPECT_EQ(std::stoul(after.substr(after.rfind(' '))), std::stoul(before.substr(before.rfind(' '))) + 2);
}

TEST_F(E1CtlTest, AStatusReadFailureIsLoggedPerTrunkAndTheOthersStillReport) {
  auto c = controller();
  ASSERT_EQ(board("fail maintenance ioctl 0xC0504D03 EIO"), ok);
  Capture err(std::cerr);
  EXPECT_TRUE(e1Statuses(advance(*c, E1Ctl::StatusPeriodMs)).empty());
  EXPECT_EQ(err.str(),
            "E1: synchronization status read fail, trunk = 0 cause = Input/output error\n"
            "E1: synchronization status read fail, trunk = 1 cause = Input/output error\n"
            "E1: synchronization status read fail, trunk = 2 cause = Input/output error\n"
            "E1: synchronization status read fail, trunk = 3 cause = Input/output error\n");
  ASSERT_EQ(board("heal maintenance"), ok);
  EXPECT_EQ(e1Statuses(advance(*c, E1Ctl::StatusPeriodMs)).size(), 4u);
}

TEST_F(E1CtlTest, TrunkCfgSetsOneBitPerSlaveAndPushesEveryChange) {
  auto c = controller();
  Capture log(std::clog);
  EXPECT_EQ(command(*c, trunkCfg(2, LGCP::TrunkMode::slave)), Frames{success});
  EXPECT_EQ(command(*c, trunkCfg(2, LGCP::TrunkMode::master)), Frames{success});
  EXPECT_EQ(command(*c, trunkCfg(0, LGCP::TrunkMode::slave)), Frames{success});
  EXPECT_EQ(command(*c, trunkCfg(3, LGCP::TrunkMode::slave)), Frames{success});
  EXPECT_EQ(command(*c, trunkCfg(31, LGCP::TrunkMode::slave)), Frames{success});
  // No bit for trunk 32 and above: the others stay as they are.
  EXPECT_EQ(command(*c, trunkCfg(32, LGCP::TrunkMode::slave)), Frames{success});
  EXPECT_EQ(command(*c, trunkCfg(2119798164, LGCP::TrunkMode::master)), Frames{success});
  // A negative trunk changes and sends nothing.
  EXPECT_EQ(command(*c, trunkCfg(-1, LGCP::TrunkMode::slave)), Frames{success});
  EXPECT_EQ(tclkWrites(), (OK{"tclk 0x00000000", "tclk 0x00000004", "tclk 0x00000000", "tclk 0x00000001",
                              "tclk 0x00000009", "tclk 0x80000009", "tclk 0x80000009", "tclk 0x80000009"}));
  EXPECT_EQ(E1Ctl::instance().TransmitClockMask(), 0x80000009u);
  EXPECT_EQ(count(log.str(), "E1: TCLT = 0x80000009\n"), 3u);

  // A new controller starts from every trunk master.
  c.reset();
  ASSERT_TRUE(fixture::run_until([] { return fixture::first().disconnects == 1; }));
  c = controller();
  EXPECT_EQ(tclkWrites().back(), "tclk 0x00000000");

  ASSERT_EQ(board("fail maintenance ioctl 0xC0044D0B EIO"), ok);
  Capture err(std::cerr);
  EXPECT_EQ(command(*c, trunkCfg(1, LGCP::TrunkMode::slave)), Frames{success});
  EXPECT_EQ(err.str(), "E1: fail to set TCLK [cause=Input/output error]\n");
}

TEST_F(E1CtlTest, CasOpenSetGetCloseSendTheirSignalsBeforeTheSuccess) {
  auto c = controller();
  Capture log(std::clog);
  // Open: the trunk report, then the channel as the driver has it (tx cut to four bits).
  EXPECT_EQ(command(*c, cas(1, 5, Open, 0x1D)), (Frames{casFrame(1, 0, 0, 0), casFrame(1, 5, 0, 0xD), success}));
  EXPECT_EQ(count(log.str(), "E1: open cas signalling on trunk(1) - ok\n"), 1u);
  // The trunk is open now: a second open reports it with rx 0 and opens no trunk again.
  EXPECT_EQ(command(*c, cas(1, 9, Open, 3)), (Frames{casFrame(1, 0, 0, 0), casFrame(1, 9, 0, 3), success}));
  EXPECT_EQ(count(log.str(), "open cas"), 1u);
  EXPECT_EQ(casState(), "trunk 0 closed\ntrunk 1 open\nchannel 1 5 rx 0x0 tx 0xD\nchannel 1 9 rx 0x0 tx 0x3\n"
                        "trunk 2 closed\ntrunk 3 closed\nOK\n");

  ASSERT_EQ(board("e1-cas rx 1 5 0xA"), (OK{"reached 1", "OK"}));
  EXPECT_EQ(settle(*c), Frames{casFrame(1, 5, 0xA, 0xD)});
  EXPECT_EQ(command(*c, cas(1, 5, Set, 0xF6)), (Frames{casFrame(1, 5, 0xA, 0x6), success}));
  EXPECT_EQ(command(*c, cas(1, 5, Get)), (Frames{casFrame(1, 5, 0xA, 0x6), success}));

  // Closing a channel reports rx -1 tx 1; closing it again fails at the driver.
  EXPECT_EQ(command(*c, cas(1, 5, Close)), (Frames{casFrame(1, 5, -1, 1), success}));
  EXPECT_EQ(command(*c, cas(1, 5, Close)), (Frames{casFrame(1, 5, -1, 0), success}));
  EXPECT_EQ(command(*c, cas(1, 5, Set, 1)), (Frames{casFrame(1, 5, -1, 0), success}));
  EXPECT_EQ(command(*c, cas(1, 5, Get)), (Frames{casFrame(1, 5, -1, 0), success}));
  // Timeslot 16 belongs to the trunk: closing it touches nothing.
  EXPECT_EQ(command(*c, cas(1, 16, Close)), Frames{success});
  // Timeslot 0 closes the whole trunk, reported as rx 1.
  EXPECT_EQ(command(*c, cas(1, 0, Close)), (Frames{casFrame(1, 0, 1, 0), success}));
  EXPECT_FALSE(E1Ctl::instance().CasOpen(1));
  // Nothing more on a closed trunk.
  EXPECT_EQ(command(*c, cas(1, 9, Get)), Frames{success});
  EXPECT_EQ(command(*c, cas(1, 9, Set, 2)), Frames{success});
  EXPECT_EQ(command(*c, cas(1, 9, Close)), Frames{success});
  EXPECT_EQ(casState(), "trunk 0 closed\ntrunk 1 closed\ntrunk 2 closed\ntrunk 3 closed\nOK\n");
}

TEST_F(E1CtlTest, CasOnTrunkTimeslotsBadTrunksAndOtherRequests) {
  auto c = controller();
  // Timeslots 0 and 16 open the trunk (or report it open) and no channel.
  EXPECT_EQ(command(*c, cas(2, 16, Open, 5)), (Frames{casFrame(2, 0, 0, 0), success}));
  EXPECT_EQ(command(*c, cas(2, 0, Open, 5)), (Frames{casFrame(2, 0, 0, 0), success}));
  EXPECT_EQ(casState(), "trunk 0 closed\ntrunk 1 closed\ntrunk 2 open\ntrunk 3 closed\nOK\n");
  // Trunks above 3, negative ones included, send nothing and are answered.
  for (int trunk : {4, -1, 2147483647}) {
    for (auto what : {Open, Set, Get, Close}) EXPECT_EQ(command(*c, cas(trunk, 1, what, 1)), Frames{success});
  }
  // An ioctl without a slot that is no CAS request.
  LGCP::Command other;
  other.select_ioctl().select_dtmf_disable();
  EXPECT_EQ(command(*c, other), Frames{success});
  EXPECT_EQ(command(*c, cas(2, 0, Close)), (Frames{casFrame(2, 0, 1, 0), success}));
}

TEST_F(E1CtlTest, RefusedCasRequestsReachTheControllerAsNegativeRx) {
  auto c = controller();
  ASSERT_EQ(board("fail e1-cas ioctl 0x80044300 EBUSY"), ok);
  Capture log(std::clog);
  EXPECT_EQ(command(*c, cas(3, 7, Open, 1)), (Frames{casFrame(3, 0, -1, 0), success}));
  EXPECT_EQ(count(log.str(), "E1: open cas signalling on trunk(3) - fail(-1)\n"), 1u);
  EXPECT_EQ(count(log.str(), "E1: "), 1u);
  EXPECT_FALSE(E1Ctl::instance().CasOpen(3));

  ASSERT_EQ(board("heal e1-cas"), ok);
  ASSERT_EQ(board("fail e1-cas ioctl 0xC0104304 EIO"), ok);
  EXPECT_EQ(command(*c, cas(3, 7, Open, 1)), (Frames{casFrame(3, 0, 0, 0), casFrame(3, 7, -1, 0), success}));
  ASSERT_EQ(board("heal e1-cas"), ok);
  ASSERT_EQ(board("fail e1-cas ioctl 0x80044301 EIO"), ok);
  // A refused trunk close keeps the trunk open.
  EXPECT_EQ(command(*c, cas(3, 0, Close)), (Frames{casFrame(3, 0, -1, 0), success}));
  EXPECT_TRUE(E1Ctl::instance().CasOpen(3));
  ASSERT_EQ(board("heal e1-cas"), ok);
}

TEST_F(E1CtlTest, DriverEventsBecomeSignalsShortOnesAreIgnored) {
  auto c = controller();
  ASSERT_EQ(command(*c, cas(0, 1, Open, 0)).size(), 3u);
  ASSERT_EQ(board("e1-cas rx 0 1 0x5"), (OK{"reached 1", "OK"}));
  ASSERT_EQ(board("e1-cas rx 0 31 0xFF"), (OK{"reached 1", "OK"}));
  ASSERT_EQ(board("e1-cas event 0000000000000001"), (OK{"reached 1", "OK"}));
  // A record the driver would never write, taken as it comes.
  ASSERT_EQ(board("e1-cas event 00000003fffffffe80f0abcd"), (OK{"reached 1", "OK"}));
  EXPECT_EQ(settle(*c), (Frames{casFrame(0, 1, 5, 0), casFrame(0, 31, 0xFF, 0), casFrame(3, -2, 0x80, 0xF0)}));
}

TEST_F(E1CtlTest, ALostCasDeviceIsDroppedOnceAndOpenedAgainByThePoll) {
  auto c = controller();
  Capture log(std::clog);
  // A driver reload: the descriptor the service holds hangs up.
  Board::Sim::install(std::make_unique<Board::Sim::E1Cas>());
  fixture::run_for(50);
  EXPECT_EQ(count(log.str(), "E1: cas interface lost: "), 1u) << log.str();
  EXPECT_EQ(count(log.str(), "cas interface opened!"), 0u);
  advance(*c, E1Ctl::StatusPeriodMs);
  EXPECT_EQ(count(log.str(), "E1: cas interface opened!\n"), 1u);
  EXPECT_EQ(count(log.str(), "cas interface lost"), 1u);
  ASSERT_EQ(board("e1-cas rx 0 1 0x5"), (OK{"reached 1", "OK"}));
  EXPECT_EQ(settle(*c), Frames{casFrame(0, 1, 5, 0)});
}

TEST_F(E1CtlTest, ControllerLossClosesEveryOpenTrunk) {
  auto c = controller();
  ASSERT_EQ(command(*c, cas(0, 3, Open, 1)).size(), 3u);
  ASSERT_EQ(command(*c, cas(2, 0, Open, 0)).size(), 2u);
  c.reset();
  ASSERT_TRUE(fixture::run_until([] { return fixture::first().disconnects == 1; }));
  EXPECT_FALSE(E1Ctl::instance().CasOpen(0));
  EXPECT_FALSE(E1Ctl::instance().CasOpen(2));
  EXPECT_EQ(casState(), "trunk 0 closed\ntrunk 1 closed\ntrunk 2 closed\ntrunk 3 closed\nOK\n");
}
