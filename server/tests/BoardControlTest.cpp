// The board's own control services in the real daemon, one round trip each,
// seen by a controller while a test changes the simulated board: E1 trunk
// statuses, the clock source, the transmit-clock mask, CAS and the backplane
// test. Their timers, state tables and failures are the hardware tests'.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "server/tests/Harness.h"

using namespace e2e;

namespace {

std::string e1Status(int trunk, const std::string& state, int slips = 0) {
  return sig(NoSlot, "trunkStatus : { trunk " + std::to_string(trunk) + ", state " + state + ", slips " +
                         std::to_string(slips) +
                         ", lossBF 0, lossCarrier 0, lossAIS 0, lossRAI 0, name \"\", clockMaster FALSE, type e1 }");
}

std::string cas(int seq, int trunk, int timeslot, const std::string& what) {
  return cmd(seq, NoSlot,
             "ioctl : cas : { channel { path " + std::to_string(trunk) + ", timeslot " + std::to_string(timeslot) +
                 " }, cmd " + what + " }");
}

std::string casSignal(int trunk, int timeslot, int rx, int tx) {
  return sig(NoSlot, "cas : { channel { path " + std::to_string(trunk) + ", timeslot " + std::to_string(timeslot) +
                         " }, rx " + std::to_string(rx) + ", tx " + std::to_string(tx) + " }");
}

std::string backplane(int seq, const std::string& mode) {
  return cmd(seq, NoSlot,
             "testBpc : { bus 2, seed 77, mode " + mode + " : NULL, timeslot-start 0, timeslot-length 8 }");
}

class BoardControl : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(daemon.serve(args()));
    ASSERT_TRUE(control.connect(daemon));
  }
  virtual std::vector<std::string> args() const { return {}; }

  // The counter at the end of a status line of the maintenance device.
  unsigned long statusReads(int trunk) {
    const Lines lines = control("maintenance status");
    return lines.size() > size_t(trunk) ? std::stoul(lines[size_t(trunk)].substr(lines[size_t(trunk)].rfind(' '))) : 0;
  }

  Daemon daemon;
  e2e::BoardControl control;
};

class DisabledClock : public BoardControl {
  std::vector<std::string> args() const override { return {"--disable-clock"}; }
};

TEST_F(BoardControl, StartUpSetsUpAndEnablesEachBriLineInterfaceInTurn) {
  Lines writes;
  for (char n : std::string("01234567")) {
    for (const char* w :
         {"0x32 0x80", "0x30 0x08", "0x57 0x30", "0x34 0x60", "0x35 0x00", "0x36 0x00", "0x37 0x00", "0x32 0x00"})
      writes.push_back(std::string{n, ' '} + w);
  }
  EXPECT_EQ(control("hal spi writes"), writes);
  EXPECT_TRUE(daemon.errHas("spi: try init\nspi: init channel 0\nspi: enable channel 0\nspi: init channel 1\n"));
}

TEST_F(BoardControl, AControllerIsToldTheTrunkStatusesAndThePollOutlivesIt) {
  control("maintenance set 1 state 2 slips 1");
  control("maintenance set 2 state 9");  // outside the enumeration
  auto controller = std::make_unique<Controller>();
  Controller& c = *controller;
  c.keepTrunkStatus(true);
  ASSERT_TRUE(c.connect(daemon.port()));
  // On connect: the four E1 trunks in order, the clock to free-run, a cleared mask, CAS open.
  c.expectNext({e1Status(0, "normal"), e1Status(1, "lossCarrier", 1), e1Status(2, "unknown"), e1Status(3, "normal")},
               "connect");
  // The mask goes out after the statuses, in the same pass of the daemon's loop.
  EXPECT_TRUE(waitFor([&] { return control("maintenance tclk") == Lines{"tclk 0x00000000"}; }));
  EXPECT_EQ(control("hal clock source"), Lines{"4"});
  EXPECT_TRUE(waitFor([&] {
    for (const std::string& d : control("devices"))
      if (d == "/dev/e1-cas e1-cas present open=1") return true;
    return false;
  }));

  // Without a controller the E1 poll goes on.
  controller.reset();
  ASSERT_TRUE(daemon.errHas(" closed.\n"));
  const unsigned long e1Reads = statusReads(0);
  EXPECT_TRUE(waitFor([&] { return statusReads(0) > e1Reads; }));
}

TEST_F(BoardControl, ClockTrunkConfigurationAndCasAsTheControllerDrivesThem) {
  Controller c;
  ASSERT_TRUE(c.connect(daemon.port()));
  c.expect(cmd(1, NoSlot, "clockCfg : { clkSel0 external, bextEn enabled, source 2 }"), {ok(1, NoSlot)});
  EXPECT_EQ(control("hal clock source"), Lines{"2"});
  EXPECT_TRUE(daemon.errHas("clkctl: clock source = f2\n"));

  c.expect(cmd(2, NoSlot, "trunkCfg : { trunk 2, mode slave }"), {ok(2, NoSlot)});
  c.expect(cmd(4, NoSlot, "trunkCfg : { trunk 2, mode master }"), {ok(4, NoSlot)});
  EXPECT_EQ(control("maintenance tclk"), (Lines{"tclk 0x00000000", "tclk 0x00000004", "tclk 0x00000000"}));

  // The trunk report and the channel come before the success.
  c.expect(cas(6, 1, 5, "open : 9"), {casSignal(1, 0, 0, 0), casSignal(1, 5, 0, 9), ok(6, NoSlot)});
  EXPECT_EQ(control("e1-cas rx 1 5 3"), Lines{"reached 1"});
  c.expectNext({casSignal(1, 5, 3, 9)}, "rx 3");
  c.expect(cas(7, 1, 0, "close : NULL"), {casSignal(1, 0, 1, 0), ok(7, NoSlot)});
  EXPECT_EQ(control("e1-cas state"), (Lines{"trunk 0 closed", "trunk 1 closed", "trunk 2 closed", "trunk 3 closed"}));
}

TEST_F(BoardControl, BackplaneTestWritesReadsBackAndReportsABrokenChannel) {
  Controller c;
  ASSERT_TRUE(c.connect(daemon.port()));
  c.expect(backplane(3, "write"), {ok(3, NoSlot)});
  srandom(77);
  Lines driven;
  std::vector<unsigned> bytes;
  for (int t = 0; t < 8; ++t) {
    bytes.push_back(unsigned(random() & 0xFF));
    char line[32];
    std::snprintf(line, sizeof line, "%d = 0x%02X", 8192 + 256 + t, bytes.back());
    driven.push_back(line);
  }
  EXPECT_EQ(control("hal switch map"), driven);
  c.expect(backplane(4, "read"), {ok(4, NoSlot)});

  // Timeslot 5 of bus 2 no longer loops back what it is driven with.
  const unsigned stuck = bytes[5] ^ 0x3C;
  control("hal switch stuck " + std::to_string(8192 + 256 + 5) + " " + std::to_string(stuck));
  c.expect(backplane(5, "write"), {err(5, NoSlot, "busError")});
  char line[64];
  std::snprintf(line, sizeof line, "bus 2: write failed on channel 5 write %02X  written %02X \n", bytes[5], stuck);
  EXPECT_TRUE(daemon.errHas(line));
  control("hal switch unstick " + std::to_string(8192 + 256 + 5));
  c.expect(backplane(6, "write"), {ok(6, NoSlot)});
  c.expect(backplane(7, "disconnect"), {ok(7, NoSlot)});
  EXPECT_EQ(control("hal switch map"), Lines{});
}

TEST_F(DisabledClock, ClockCfgIsUnsupportedAndTheClockIsLeftAlone) {
  EXPECT_TRUE(daemon.errHas("clkctl: clock control disabled.\n"));
  auto c = std::make_unique<Controller>();
  ASSERT_TRUE(c->connect(daemon.port()));
  c->expect(cmd(1, NoSlot, "clockCfg : { clkSel0 external, bextEn enabled, source 2 }"),
            {err(1, NoSlot, "unsupported")});
  c.reset();
  ASSERT_TRUE(daemon.errHas(" closed.\n"));
  EXPECT_EQ(control("hal clock history"), Lines{});
}

}  // namespace
