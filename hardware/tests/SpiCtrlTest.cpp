// BRI line interface control on the simulated SPI registers: the register
// writes of set-up, enable, disable and clock selection, the status sweep's
// cadence across connects, its state table and its per-interface slip latch.

#include <iostream>

#include "hardware/tests/Support.h"

using fixture::Capture;
using fixture::count;
using hw::board;
using hw::Frames;
using State = ACP::TrunkState;
using Lines = std::vector<std::string>;

namespace {

const Lines ok{"OK"};

Lines spiWrites() {
  auto lines = board("hal spi writes");
  lines.pop_back();
  return lines;
}

Frames briStatuses(const Frames& all) {
  Frames picked;
  for (const std::string& f : hw::signalsOf(all, LGCP::Signal::e_trunkStatus)) {
    if (hw::decode(f).get_pdu().get_signal().get_trunkStatus().get_type().get() == ACP::TrunkType::bri)
      picked.push_back(f);
  }
  return picked;
}

std::string bri(int line, State::NamedNumber state, int slips = 0) {
  return hw::statusFrame({line, state, slips}, ACP::TrunkType::bri);
}

// The writes of set-up then enable of one interface.
Lines setUp(int n) {
  const std::string i = std::to_string(n) + " ";
  return {i + "0x32 0x80", i + "0x30 0x08", i + "0x57 0x30", i + "0x34 0x60",
          i + "0x35 0x00", i + "0x36 0x00", i + "0x37 0x00", i + "0x32 0x00"};
}

}  // namespace

class SpiCtrlTest : public hw::ServiceTest {};

TEST_F(SpiCtrlTest, InterfaceOperationsWriteTheirRegistersAndRefuseBadNumbers) {
  spiCtrl& spi = spiCtrl::instance();
  ASSERT_EQ(board("hal spi clear"), ok);
  Capture log(std::clog);
  spi.init_channel(3);
  spi.enable_channel(3);
  EXPECT_EQ(spiWrites(), setUp(3));
  EXPECT_EQ(log.str(), "spi: init channel 3\nspi: enable channel 3\n");

  ASSERT_EQ(board("hal spi clear"), ok);
  spi.disable_channel(7);
  spi.clock(2);
  EXPECT_EQ(spiWrites(), (Lines{"7 0x32 0x80", "0 0x57 0x30", "1 0x57 0x30", "2 0x57 0x30", "3 0x57 0x30",
                                "4 0x57 0x30", "5 0x57 0x30", "6 0x57 0x30", "7 0x57 0x30", "2 0x57 0x38"}));
  ASSERT_EQ(board("hal spi clear"), ok);
  spi.clock(-1);
  Lines none = spiWrites();
  EXPECT_EQ(none.size(), 8u);
  for (const std::string& w : none) EXPECT_EQ(w.substr(1), " 0x57 0x30");

  ASSERT_EQ(board("hal spi clear"), ok);
  spi.clock(8);
  spi.clock(-2);
  spi.enable_channel(8);
  spi.init_channel(-1);
  spi.disable_channel(9);
  EXPECT_TRUE(spiWrites().empty());
  EXPECT_EQ(log.str(),
            "spi: init channel 3\nspi: enable channel 3\nspi: disable channel 7\n"
            "spi: set clock master on channel 2\nspi: clock master disabled\n"
            "spi: bad channel for set clock master 8\nspi: bad channel for set clock master -2\n"
            "spi: bad channel for enable 8\nspi: bad channel for init -1\nspi: bad channel for disable 9\n");
}

TEST_F(SpiCtrlTest, TheSweepStartsASecondAfterConnectAndStopsWithTheController) {
  auto c = controller();
  EXPECT_TRUE(advance(*c, spiCtrl::StatusPeriodMs - 1).empty());
  const Frames first = briStatuses(advance(*c, 1));
  Frames lost;
  for (int n = 0; n < spiCtrl::Interfaces; ++n) lost.push_back(bri(n, State::lossCarrier));
  EXPECT_EQ(first, lost);
  EXPECT_EQ(briStatuses(advance(*c, spiCtrl::StatusPeriodMs)), lost);

  c.reset();
  ASSERT_TRUE(fixture::run_until([] { return fixture::first().disconnects == 1; }));
  EXPECT_FALSE(spiCtrl::instance().Sweeping());
  c = controller();
  EXPECT_TRUE(spiCtrl::instance().Sweeping());
  EXPECT_TRUE(briStatuses(advance(*c, spiCtrl::StatusPeriodMs - 1)).empty());
  EXPECT_EQ(briStatuses(advance(*c, 1)).size(), 8u);
}

TEST_F(SpiCtrlTest, StatusRegisterTableAndASlipLatchPerInterface) {
  auto c = controller();
  // A first sweep with every slip bit clear leaves every latch clear.
  ASSERT_EQ(briStatuses(advance(*c, spiCtrl::StatusPeriodMs)).size(), 8u);
  const char* values[] = {"0xE5", "0x85", "0x45", "0x01", "0x00", "0xC5", "0x25", "0xE5"};
  for (int n = 0; n < 8; ++n) ASSERT_EQ(board("hal spi reg " + std::to_string(n) + " 0x33 " + values[n]), ok);
  EXPECT_EQ(briStatuses(advance(*c, spiCtrl::StatusPeriodMs)),
            (Frames{bri(0, State::normal, 1), bri(1, State::rai), bri(2, State::ais), bri(3, State::lossBF),
                    bri(4, State::lossCarrier), bri(5, State::normal), bri(6, State::ais, 1),
                    bri(7, State::normal, 1)}));
  // Still set: counted once. Cleared and set again: counted again.
  ASSERT_EQ(board("hal spi line 7 normal"), ok);
  Frames next = briStatuses(advance(*c, spiCtrl::StatusPeriodMs));
  ASSERT_EQ(next.size(), 8u);
  EXPECT_EQ(next[0], bri(0, State::normal));
  EXPECT_EQ(next[6], bri(6, State::ais));
  EXPECT_EQ(next[7], bri(7, State::normal));
  ASSERT_EQ(board("hal spi line 7 rai slip"), ok);
  next = briStatuses(advance(*c, spiCtrl::StatusPeriodMs));
  ASSERT_EQ(next.size(), 8u);
  EXPECT_EQ(next[7], bri(7, State::rai, 1));
}

TEST_F(SpiCtrlTest, RegisterFailuresAreLoggedAndAFailedReadIsLossOfCarrier) {
  auto c = controller();
  ASSERT_EQ(board("hal spi line 2 normal"), ok);
  ASSERT_EQ(board("fail hal ioctl 0xC0034203 EIO"), ok);
  ASSERT_EQ(board("fail hal ioctl 0xC0034204 EIO"), ok);
  Capture log(std::clog);
  const Frames statuses = briStatuses(advance(*c, spiCtrl::StatusPeriodMs));
  ASSERT_EQ(statuses.size(), 8u);
  EXPECT_EQ(statuses[2], bri(2, State::lossCarrier));
  EXPECT_EQ(count(log.str(), "spi: read error: channel=2 addr=51\n"), 1u);
  spiCtrl::instance().enable_channel(4);
  EXPECT_EQ(count(log.str(), "spi: write error: channel=4 addr=50 data=0\n"), 1u);
  ASSERT_EQ(board("heal hal"), ok);
  EXPECT_TRUE(spiCtrl::instance().SpiPresent());
  EXPECT_EQ(briStatuses(advance(*c, spiCtrl::StatusPeriodMs))[2], bri(2, State::normal));
}
