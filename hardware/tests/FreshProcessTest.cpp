// What only a process whose services do not exist yet can show: devices
// missing from the start, and register access switched off for good. Each
// scenario runs in this test program started again for it alone, so nothing
// is built yet, whatever ran before (a repeated run included).

#include <iostream>

#include "hardware/tests/Support.h"

using hw::control;
using hw::Lines;
using Testing::Capture;
using Testing::count;

namespace {

// Runs the scenario in a child process; its failures make the child fail.
void inNewProcess(void (*scenario)()) {
  // A forked copy would inherit the services a test before built.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        scenario();
        std::exit(::testing::Test::HasFailure() ? 1 : 0);
      },
      ::testing::ExitedWithCode(0), "");
}

// The services on a server of their own, no transport: a probe sees every signal.
struct Bound {
  Bound() {
    server.Bind(&probe);
    server.Bind(&BusCtl::instance());
    server.Bind(&E1Ctl::instance());
    server.Bind(&spiCtrl::instance());
  }
  CtrlSrv::Server server;
  Testing::Probe probe;
};

}  // namespace

TEST(FreshServiceDeathTest, WithoutHalNoSweepRunsAndTheClockFallsBackToTheLines) {
  inNewProcess([] {
    control("absent hal");
    Capture log(std::clog);
    Capture err(std::cerr);
    Bound bound;
    EXPECT_EQ(log.str(), "spi: try init\nspi: /dev/hal open fail\n");
    spiCtrl::instance().OnConnect();
    EXPECT_FALSE(spiCtrl::instance().Sweeping());
    BusCtl::instance().OnConnect();
    EXPECT_EQ(count(err.str(), "clkctl: set clock source fail: code 1.\n"), 1u);
    EXPECT_EQ(count(log.str(), "spi: /dev/hal open fail\n"), 2u);
    EXPECT_EQ(count(log.str(), "spi: clock master disabled\n"), 1u);

    // The next operation opens the device and sets every interface up first.
    control("present hal");
    spiCtrl::instance().enable_channel(5);
    const Lines writes = control("hal spi writes");
    ASSERT_EQ(writes.size(), 65u);
    EXPECT_EQ(writes.front(), "0 0x32 0x80");
    EXPECT_EQ(writes.back(), "5 0x32 0x00");
    BusCtl::instance().OnDisconnect();
    EXPECT_EQ(control("hal clock source"), Lines{"4"});
  });
}

TEST(FreshServiceDeathTest, AHalWithoutSpiStopsRegisterAccessForGood) {
  inNewProcess([] {
    Testing::PinnedClock clock{Testing::PinnedClock::Present};
    Bound bound;
    spiCtrl& spi = spiCtrl::instance();
    spi.OnConnect();
    control("fail hal ioctl 0xC0034203 ENODEV");
    Capture log(std::clog);
    Capture err(std::cerr);
    clock.advance(spiCtrl::StatusPeriodMs);
    EXPECT_EQ(log.str(), "spi: hal without spi\n");
    EXPECT_FALSE(spi.SpiPresent());
    EXPECT_EQ(bound.probe.seen.size(), 8u);
    // At most one more run, which sends nothing and arms nothing.
    clock.advance(spiCtrl::StatusPeriodMs);
    EXPECT_EQ(bound.probe.seen.size(), 8u);
    EXPECT_FALSE(spi.Sweeping());
    spi.OnConnect();
    EXPECT_FALSE(spi.Sweeping());
    const size_t writes = control("hal spi writes").size();
    spi.enable_channel(1);
    spi.clock(3);
    EXPECT_EQ(control("hal spi writes").size(), writes);
    EXPECT_EQ(log.str(), "spi: hal without spi\n");
  });
}

TEST(FreshServiceDeathTest, E1DevicesMissingAtConnectAreOpenedByTheNextPoll) {
  inNewProcess([] {
    Testing::PinnedClock clock{Testing::PinnedClock::Present};
    control("absent maintenance");
    control("absent e1-cas");
    Bound bound;
    Capture log(std::clog);
    E1Ctl::instance().OnConnect();
    E1Ctl::instance().OnCommand(hw::commandOf("ioctl : cas : { channel { path 0, timeslot 0 }, cmd open : 1 }"));
    EXPECT_TRUE(bound.probe.seen.empty());
    EXPECT_EQ(log.str(), "");
    EXPECT_TRUE(control("maintenance tclk").empty());

    control("present maintenance");
    control("present e1-cas");
    clock.advance(E1Ctl::StatusPeriodMs);
    EXPECT_EQ(bound.probe.seen.size(), 4u);
    EXPECT_EQ(log.str(), "E1: cas interface opened!\n");
    // The mask goes out with the next connect or trunkCfg, not with the poll.
    EXPECT_TRUE(control("maintenance tclk").empty());
  });
}
