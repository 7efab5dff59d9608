// BRI line interface control on the simulated SPI registers: the writes of
// each operation, the sweep's cadence on the pinned clock, its state table,
// the slip latch of each interface, and failed register requests.

#include <iostream>

#include "hardware/tests/Support.h"

using Testing::Capture;
using Testing::count;
using hw::board;
using hw::briFrame;
using hw::Frames;
using hw::Lines;
using State = ACP::TrunkState;

namespace {

Frames bri(const Frames& all) { return hw::statuses(all, ACP::TrunkType::bri); }

}  // namespace

class SpiCtrlTest : public hw::ServiceTest {};

TEST_F(SpiCtrlTest, OperationsWriteTheirRegistersAndRefuseBadNumbers) {
  spiCtrl& spi = spiCtrl::instance();
  board("hal spi clear");
  Capture log(std::clog);
  spi.init_channel(3);
  spi.enable_channel(3);
  spi.disable_channel(7);
  spi.clock(2);
  spi.clock(-1);
  EXPECT_EQ(board("hal spi writes"),
            (Lines{"3 0x32 0x80", "3 0x30 0x08", "3 0x57 0x30", "3 0x34 0x60", "3 0x35 0x00", "3 0x36 0x00",
                   "3 0x37 0x00", "3 0x32 0x00", "7 0x32 0x80", "0 0x57 0x30", "1 0x57 0x30", "2 0x57 0x30",
                   "3 0x57 0x30", "4 0x57 0x30", "5 0x57 0x30", "6 0x57 0x30", "7 0x57 0x30", "2 0x57 0x38",
                   "0 0x57 0x30", "1 0x57 0x30", "2 0x57 0x30", "3 0x57 0x30", "4 0x57 0x30", "5 0x57 0x30",
                   "6 0x57 0x30", "7 0x57 0x30"}));
  board("hal spi clear");
  spi.clock(8);
  spi.clock(-2);
  spi.enable_channel(8);
  spi.init_channel(-1);
  spi.disable_channel(9);
  EXPECT_TRUE(board("hal spi writes").empty());
  EXPECT_EQ(log.str(),
            "spi: init channel 3\nspi: enable channel 3\nspi: disable channel 7\n"
            "spi: set clock master on channel 2\nspi: clock master disabled\n"
            "spi: bad channel for set clock master 8\nspi: bad channel for set clock master -2\n"
            "spi: bad channel for enable 8\nspi: bad channel for init -1\nspi: bad channel for disable 9\n");
}

TEST_F(SpiCtrlTest, TheSweepRunsEverySecondWhileConnectedWithALatchPerInterface) {
  EXPECT_TRUE(bri(advance(spiCtrl::StatusPeriodMs - 1)).empty());
  // Every line with nothing set: lossCarrier; every slip latch clear.
  Frames lost;
  for (int n = 0; n < spiCtrl::Interfaces; ++n) lost.push_back(briFrame(n, State::lossCarrier));
  EXPECT_EQ(bri(advance(1)), lost);

  const char* values[] = {"0xE5", "0x85", "0x45", "0x01", "0x00", "0xC5", "0x25", "0xE5"};
  for (int n = 0; n < 8; ++n) board("hal spi reg " + std::to_string(n) + " 0x33 " + values[n]);
  EXPECT_EQ(bri(advance(spiCtrl::StatusPeriodMs)),
            (Frames{briFrame(0, State::normal, 1), briFrame(1, State::rai), briFrame(2, State::ais),
                    briFrame(3, State::lossBF), briFrame(4, State::lossCarrier), briFrame(5, State::normal),
                    briFrame(6, State::ais, 1), briFrame(7, State::normal, 1)}));
  // Still set: counted once. Cleared, then set again: counted again.
  board("hal spi line 7 normal");
  Frames next = bri(advance(spiCtrl::StatusPeriodMs));
  ASSERT_EQ(next.size(), 8u);
  EXPECT_EQ(next[0], briFrame(0, State::normal));
  EXPECT_EQ(next[7], briFrame(7, State::normal));
  board("hal spi line 7 rai slip");
  next = bri(advance(spiCtrl::StatusPeriodMs));
  ASSERT_EQ(next.size(), 8u);
  EXPECT_EQ(next[7], briFrame(7, State::rai, 1));

  disconnect();
  EXPECT_FALSE(spiCtrl::instance().Sweeping());
  c = connect();
  EXPECT_TRUE(bri(advance(spiCtrl::StatusPeriodMs - 1)).empty());
  EXPECT_EQ(bri(advance(1)).size(), 8u);
}

TEST_F(SpiCtrlTest, FailedRegisterRequestsAreLoggedAndAFailedReadIsLossOfCarrier) {
  board("hal spi line 2 normal");
  board("fail hal ioctl 0xC0034203 EIO");
  board("fail hal ioctl 0xC0034204 EIO");
  Capture log(std::clog);
  const Frames statuses = bri(advance(spiCtrl::StatusPeriodMs));
  ASSERT_EQ(statuses.size(), 8u);
  EXPECT_EQ(statuses[2], briFrame(2, State::lossCarrier));
  EXPECT_EQ(count(log.str(), "spi: read error: channel=2 addr=51\n"), 1u);
  spiCtrl::instance().enable_channel(4);
  EXPECT_EQ(count(log.str(), "spi: write error: channel=4 addr=50 data=0\n"), 1u);
  board("heal hal");
  EXPECT_EQ(bri(advance(spiCtrl::StatusPeriodMs))[2], briFrame(2, State::normal));
}
