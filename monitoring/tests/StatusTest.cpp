// Framer status texts as the HDLC driver lays them out, trunk states, and
// the network interfaces' debounced running state sampled on the board's
// interface model.

#include <gtest/gtest.h>

#include <filesystem>

#include "board/Paths.h"
#include "board/sim/Sim.h"
#include "foundation/config/TraceCtl.h"
#include "monitoring/MonitoringDataHolder.h"
#include "testing/Capture.h"

namespace {

std::vector<unsigned char> bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::string fields(const FramerDataHolder& f) {
  return std::to_string(f.connected) + " '" + f.status + "' " + std::to_string(f.signalLoss) +
         std::to_string(f.frameAlignLoss) + " " + std::to_string(f.negSlips) + " " + std::to_string(f.posSlips);
}

TEST(FramerStatus, DriverTextsAndTrunkStates) {
  FramerDataHolder framer(2, "/proc/driver/hdlc/peb22554/1");
  EXPECT_EQ(fields(framer), "0 'absent' 11 0 0");
  const struct {
    std::string text;
    bool changed;
    const char* after;
  } texts[] = {
      {"Framer 1\nCurrent state           : No Carrier\nLoss of Signal          : yes \n"
       "Loss of Frame Alignment : no\nReceive Slip Positive   : 12\nReceive Slip Positive   : 13\n"
       "Receive Slip Negative   :   -4",
       true, "0 'No Carrier' 00 -4 13"},
      {"Current state           : No Carrier\nReceive Slip Positive   : 13\n", false, "0 'No Carrier' 00 -4 13"},
      {"Current state: Synchronized\nLoss of Signal : yes\n", false, "0 'No Carrier' 00 -4 13"},
      {"E1 Current state           : Synchronized\r\nLoss of Signal          : yes\nReceive Slip Negative   : x\n",
       true, "1 'Synchronized\r' 10 0 13"},
      {"Receive Slip Positive   : 99999999999\nReceive Slip Negative   : -99999999999\n", true,
       "1 'Synchronized\r' 10 -2147483648 2147483647"},
      {"", false, "1 'Synchronized\r' 10 -2147483648 2147483647"},
  };
  for (const auto& t : texts) {
    EXPECT_EQ(framer.setFramerStatus(bytes(t.text)), t.changed) << t.text;
    EXPECT_EQ(fields(framer), t.after) << t.text;
  }

  // A state sets the text and the carrier only.
  const struct {
    int state;
    bool changed;
    const char* after;
  } states[] = {
      {ACP::TrunkState::lossCarrier, true, "0 No Carrier"},
      {ACP::TrunkState::lossCarrier, false, "0 No Carrier"},
      {ACP::TrunkState::disabled, true, "1 Unknown"},
      {ACP::TrunkState::unknown, false, "1 Unknown"},
      {ACP::TrunkState::lossBF, true, "1 FAS Loss"},
      {ACP::TrunkState::ais, true, "1 AIS"},
      {ACP::TrunkState::rai, true, "1 RAI"},
      {ACP::TrunkState::normal, true, "1 Synchronized"},
  };
  for (const auto& s : states) {
    ACP::TrunkState state;
    state = s.state;
    EXPECT_EQ(framer.setFramerStatus(state), s.changed) << s.state;
    EXPECT_EQ(std::to_string(framer.connected) + " " + framer.status, s.after) << s.state;
  }
  EXPECT_EQ(fields(framer), "1 'Synchronized' 10 -2147483648 2147483647");
}

TEST(NetIfStatus, FoundByIndexAndRunningWhileTwoOfTheLastThreeSamplesRan) {
  ASSERT_FALSE(Board::Paths::root().empty());
  std::filesystem::create_directories(Board::Paths::root() + "/var");
  Board::Sim::reset();
  ASSERT_EQ(Board::Sim::control("net add eth0 none 0x41").back(), "OK");
  const MonitoringDataHolder store;
  ASSERT_EQ(store.netIfs.size(), 2u);
  EXPECT_EQ(store.netIfs.front().name, "lo");
  NetIfDataHolder netIf = store.netIfs.back();
  EXPECT_EQ(netIf.index, 2);
  EXPECT_EQ(netIf.name, "eth0");

  Testing::Capture log(std::clog);
  traces.monitoring_internal = true;
  // Running flag per sample, or a refused request (no sample); the change, then running and oper status.
  const struct {
    const char* board;
    bool changed;
    int running, oper;
  } samples[] = {
      {"net add eth0 none 0x41", true, 0, 2},
      {"net add eth0 none 0x41", true, 1, 1},
      {"net add eth0 none 0x01", false, 1, 1},
      {"fail net ioctl 0x8913 EIO", false, 1, 1},
      {"heal net", true, 0, 2},
      {"net remove eth0", false, 0, 2},
      {"net add eth0 none 0x41", false, 0, 2},
      {"net add eth0 none 0x41", true, 1, 1},
  };
  for (const auto& s : samples) {
    ASSERT_EQ(Board::Sim::control(s.board).back(), "OK") << s.board;
    EXPECT_EQ(netIf.updateNetIf(), s.changed) << s.board;
    EXPECT_EQ(netIf.running, s.running) << s.board;
    EXPECT_EQ(netIf.operStatus, s.oper) << s.board;
    EXPECT_EQ(netIf.adminStatus, s.oper) << s.board;
  }
  traces.monitoring_internal = false;
  EXPECT_EQ(netIf.name, "eth0");
  EXPECT_EQ(log.str(),
            "Error ioctl socket:  errno=\"Input/output error\"\nError ioctl socket:  errno=\"No such device\"\n");
}

}  // namespace
