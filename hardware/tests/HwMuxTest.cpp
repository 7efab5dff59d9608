// The TDM switch against the simulated board's switch: what reaches the
// device, the shadow of the bus outputs, the re-disable sweep, and every
// failure with its log line.

#include <gtest/gtest.h>

#include <string>

#include "board/sim/Hal.h"
#include "board/sim/HalSwitch.h"
#include "board/sim/Sim.h"
#include "hardware/HwMux.h"
#include "testing/Capture.h"

namespace {

using Board::Sim::Hal;
using Board::Sim::HalSwitch;

HalSwitch::Counts counts() {
  return Board::Sim::with<Hal>("hal", [](Hal& hal) { return hal.part<HalSwitch>()->counts(); });
}

std::string mapLine(int32_t output) {
  return Board::Sim::with<Hal>("hal", [&](Hal& hal) {
    const auto& outputs = hal.part<HalSwitch>()->outputs();
    auto it = outputs.find(output);
    return it == outputs.end() ? std::string("off") : HalSwitch::format(it->first, it->second);
  });
}

void control(const std::string& line) { ASSERT_EQ(Board::Sim::control(line).back(), "OK") << line; }

class HwMuxTest : public ::testing::Test {
protected:
  void SetUp() override { Board::Sim::reset(); }
  Testing::Capture log{&std::cerr, &std::clog};
};

TEST_F(HwMuxTest, AMissingDeviceIsTriedAgainByEveryOperationAndResetOnceItOpens) {
  control("absent hal");
  HwMux mux;
  const std::string cannot = "hwMux: can't open device: No such file or directory\n";
  EXPECT_EQ(log.take(), "hwMux: init\n" + cannot);
  EXPECT_FALSE(mux.Connect(1, 8192));
  EXPECT_EQ(log.take(), cannot + "hwMux: ERROR not opened\n");
  EXPECT_FALSE(mux.Disconnect(8192));
  EXPECT_FALSE(mux.Write(8192, 1));
  EXPECT_EQ(mux.Read(8192), 0xFF);
  EXPECT_EQ(log.take(), cannot + cannot + cannot);
  mux.OnDPC();
  EXPECT_EQ(counts().disable, 0u);

  control("present hal");
  EXPECT_TRUE(mux.Disable(9000));
  EXPECT_EQ(log.take(), "hwMux: device opened\n");
  // Every bus output switched off on opening, then the one asked for.
  EXPECT_EQ(counts().disable, HwMux::Outputs + 1);
  for (int out = HwMux::FirstOutput; out < HwMux::FirstOutput + int(HwMux::Outputs); ++out) {
    ASSERT_EQ(mux.Shadow(out), HwMux::Off) << out;
  }
}

TEST_F(HwMuxTest, NegativeChannelsNeverReachTheDevice) {
  HwMux mux;
  log.take();
  const HalSwitch::Counts before = counts();
  EXPECT_FALSE(mux.Connect(-1, 8192));
  EXPECT_FALSE(mux.Connect(5, -8192));
  EXPECT_EQ(log.take(), "hwMux: ERROR not opened\nhwMux: ERROR not opened\n");
  EXPECT_FALSE(mux.Disconnect(-1));
  EXPECT_FALSE(mux.Disable(-1));
  EXPECT_FALSE(mux.Write(-1, 0));
  EXPECT_EQ(mux.Read(-1), 0xFF);
  EXPECT_EQ(log.take(), "");
  const HalSwitch::Counts after = counts();
  EXPECT_EQ(after.connect + after.disable + after.write + after.read,
            before.connect + before.disable + before.write + before.read);
}

TEST_F(HwMuxTest, TheShadowFollowsBusOutputsAndTheSweepSwitchesOffOnlyThoseOff) {
  HwMux mux;
  EXPECT_TRUE(mux.Connect(5, 8192));
  EXPECT_EQ(mapLine(8192), "8192 <- 5");
  EXPECT_EQ(mux.Shadow(8192), 5);
  EXPECT_TRUE(mux.Disconnect(8193));
  EXPECT_EQ(mapLine(8193), "8193 = 0xD5");
  EXPECT_EQ(mux.Shadow(8193), HwMux::Driven);
  EXPECT_TRUE(mux.Write(8194, 0x7F));
  EXPECT_EQ(mapLine(8194), "8194 = 0x7F");
  EXPECT_EQ(mux.Shadow(8194), HwMux::Driven);
  // A trunk-side output goes to the device and has no shadow entry.
  EXPECT_TRUE(mux.Connect(69, 3));
  EXPECT_EQ(mapLine(3), "3 <- 69");
  EXPECT_TRUE(mux.Connect(1, 10239));
  EXPECT_EQ(mux.Shadow(10239), 1);

  // The first run refreshes entries 1..128: two of them are driven.
  unsigned before = counts().disable;
  mux.OnDPC();
  EXPECT_EQ(mux.Cursor(), 128u);
  EXPECT_EQ(counts().disable - before, 126u);
  // Fifteen more runs end the sweep on entry 0; it and entry 2047 are connected.
  before = counts().disable;
  for (int run = 0; run < 15; ++run) mux.OnDPC();
  EXPECT_EQ(mux.Cursor(), 0u);
  EXPECT_EQ(counts().disable - before, HwMux::Outputs - 128 - 2);
  EXPECT_EQ(mapLine(8192), "8192 <- 5");
  EXPECT_EQ(mapLine(8193), "8193 = 0xD5");

  // Once switched off again, the output is swept again.
  EXPECT_TRUE(mux.Disable(8193));
  before = counts().disable;
  mux.OnDPC();
  EXPECT_EQ(counts().disable - before, 127u);
}

TEST_F(HwMuxTest, ReadsAndFailedRequests) {
  HwMux mux;
  control("hal switch line 69 0x42");
  EXPECT_TRUE(mux.Connect(69, 8200));
  EXPECT_EQ(mux.Read(8200), 0x42);
  EXPECT_EQ(mux.Read(69), 0x42);
  EXPECT_EQ(mux.Read(70), 0xFF);
  EXPECT_EQ(mux.Shadow(8200), 69);  // a read leaves the shadow alone
  log.take();

  control("fail hal ioctl 0xC0084D05 EIO");
  EXPECT_EQ(mux.Read(69), 0xFF);
  control("fail hal ioctl 0x80084D02 EIO");
  EXPECT_FALSE(mux.Connect(7, 8201));
  EXPECT_EQ(mux.Shadow(8201), 7);  // written before the request, kept after its failure
  control("fail hal ioctl 0xC0084D04 EBUSY");
  EXPECT_FALSE(mux.Write(8202, 0x10));
  EXPECT_FALSE(mux.Disconnect(8203));
  EXPECT_EQ(mux.Shadow(8203), HwMux::Driven);
  control("fail hal ioctl 0x80044D03 ENODEV");
  EXPECT_FALSE(mux.Disable(8204));
  EXPECT_EQ(log.take(),
            "hwMux: read failed 69 -> 0xff : Input/output error\n"
            "hwMux: connect 7 -> 8201 failed: Input/output error\n"
            "hwMux: write failed 8202 <- 0x10 : Device or resource busy\n"
            "hwMux: disconnect failed 8203 : Device or resource busy\n"
            "hwMux: disable failed 8204 : No such device\n");
}

}  // namespace
