// BRI line interface control on the simulated SPI registers: the writes of
// each operation, the sweep's cadence on the pinned clock, its state table
// and the slip latch of each interface (golden/spi-sweep.txt), and failed
// register requests.

#include "hardware/tests/Support.h"

using hw::control;
using hw::only;
using Testing::count;

class SpiCtrlTest : public hw::ServiceTest {};

TEST_F(SpiCtrlTest, OperationsWriteTheirRegistersAndRefuseBadNumbers) {
  spiCtrl& spi = spiCtrl::instance();
  control("hal spi clear");
  spi.init_channel(3);
  spi.enable_channel(3);
  spi.disable_channel(7);
  spi.clock(2);
  spi.clock(-1);
  spi.clock(8);
  spi.clock(-2);
  spi.enable_channel(8);
  spi.init_channel(-1);
  spi.disable_channel(9);
  std::string text = logged();
  for (const std::string& write : control("hal spi writes")) text += write + "\n";
  EXPECT_TRUE(Testing::matchesGolden("hardware/tests/golden/spi-operations.txt", text));
}

TEST_F(SpiCtrlTest, TheSweepRunsEverySecondWhileConnectedWithALatchPerInterface) {
  EXPECT_TRUE(script("spi-sweep"));
  disconnect();
  EXPECT_FALSE(spiCtrl::instance().Sweeping());
  c = connect();
  EXPECT_TRUE(only(advance(spiCtrl::StatusPeriodMs - 1), "type bri").empty());
  EXPECT_EQ(only(advance(1), "type bri").size(), 8u);
}

TEST_F(SpiCtrlTest, FailedRegisterRequestsAreLoggedAndAFailedReadIsLossOfCarrier) {
  control("hal spi line 2 normal");
  control("fail hal ioctl 0xC0034203 EIO");
  control("fail hal ioctl 0xC0034204 EIO");
  const hw::Lines statuses = only(advance(spiCtrl::StatusPeriodMs), "type bri");
  ASSERT_EQ(statuses.size(), 8u);
  EXPECT_NE(statuses[2].find("trunk 2, state lossCarrier"), std::string::npos) << statuses[2];
  EXPECT_EQ(count(logs.str(), "spi: read error: channel=2 addr=51\n"), 1u);
  spiCtrl::instance().enable_channel(4);
  EXPECT_EQ(count(logs.str(), "spi: write error: channel=4 addr=50 data=0\n"), 1u);
  control("heal hal");
  EXPECT_NE(only(advance(spiCtrl::StatusPeriodMs), "type bri")[2].find("trunk 2, state normal"), std::string::npos);
}
