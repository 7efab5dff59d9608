// The board's own control services in the real daemon, seen by a controller
// while a test changes the simulated board: E1 and BRI trunk statuses, the
// clock source, the transmit-clock mask, CAS and the backplane test. Frames
// are compared byte for byte; each carries its value in a comment.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "server/tests/Harness.h"

using e2e::Controller;
using e2e::Daemon;
using e2e::Lines;

namespace {

// trunkStatus {trunk n, state normal, every counter 0, name "", clockMaster FALSE, type e1}
std::string e1Normal(int n) { return "22c0010" + std::string{"0123"[n]} + "00010001000100010001000000"; }
// The same of BRI line n with state lossCarrier (the state of a line with nothing set).
std::string briLost(int n) { return "22c0010" + std::string{"01234567"[n]} + "40010001000100010001000020"; }

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
    for (const char* w : {"0x32 0x80", "0x30 0x08", "0x57 0x30", "0x34 0x60", "0x35 0x00", "0x36 0x00", "0x37 0x00",
                          "0x32 0x00"})
      writes.push_back(std::string{n, ' '} + w);
  }
  EXPECT_EQ(control("hal spi writes"), writes);
  EXPECT_TRUE(daemon.errHas("spi: try init\nspi: init channel 0\nspi: enable channel 0\nspi: init channel 1\n"));
}

TEST_F(BoardControl, AControllerSeesTrunkStatusesChangeAsTheBoardChanges) {
  control("maintenance set 1 state 2 slips 1");
  control("maintenance set 2 state 9");  // outside the enumeration
  control("hal spi line 0 normal slip");
  control("hal spi line 3 rai");
  auto controller = std::make_unique<Controller>();
  Controller& c = *controller;
  c.keepTrunkStatus(true);
  ASSERT_TRUE(c.connect(daemon.port()));
  // On connect: the four E1 trunks in order, the clock to free-run, a cleared mask, CAS open.
  c.expectNext({e1Normal(0),
              "22c0010140010101000100010001000000",  // trunk 1 lossCarrier slips 1
              "22c00102a0010001000100010001000000",  // trunk 2 unknown
              e1Normal(3)},
             "connect");
  // The mask goes out after the statuses, in the same pass of the daemon's loop.
  EXPECT_TRUE(e2e::waitFor([&] { return control("maintenance tclk") == Lines{"tclk 0x00000000"}; }));
  EXPECT_EQ(control("hal clock source"), Lines{"4"});
  EXPECT_TRUE(e2e::waitFor([&] {
    for (const std::string& d : control("devices"))
      if (d == "/dev/e1-cas e1-cas present open=1") return true;
    return false;
  }));

  // A second later the E1 poll, then the eight BRI lines.
  c.expectNext({e1Normal(0), "22c0010140010101000100010001000000", "22c00102a0010001000100010001000000", e1Normal(3),
              "22c0010000010101000100010001000020",  // BRI 0 normal slips 1
              briLost(1), briLost(2),
              "22c0010380010001000100010001000020",  // BRI 3 rai
              briLost(4), briLost(5), briLost(6), briLost(7)},
             "first second");

  control("maintenance set 1 state 0 slips 0");
  control("maintenance set 2 state 0");
  control("hal spi line 3 normal");
  c.expectNext({e1Normal(0), e1Normal(1), e1Normal(2), e1Normal(3),
              "22c0010000010001000100010001000020",  // BRI 0 normal, its slip counted once
              briLost(1), briLost(2),
              "22c0010300010001000100010001000020",  // BRI 3 normal
              briLost(4), briLost(5), briLost(6), briLost(7)},
             "next second");

  // Without a controller the BRI sweep stops; the E1 poll goes on.
  controller.reset();
  ASSERT_TRUE(daemon.errHas(" closed.\n"));
  const std::string spiReads = control("hal spi reads").at(0);
  const unsigned long e1Reads = statusReads(0);
  EXPECT_TRUE(e2e::waitFor([&] { return statusReads(0) >= e1Reads + 2; }, 3500));
  EXPECT_EQ(control("hal spi reads").at(0), spiReads);
}

TEST_F(BoardControl, ClockTrunkConfigurationAndCasAsTheControllerDrivesThem) {
  Controller c;
  ASSERT_TRUE(c.connect(daemon.port()));
  // clockCfg {external, enabled, source 2}
  c.expect("80010116000102", {"80010140"});
  EXPECT_EQ(control("hal clock source"), Lines{"2"});
  EXPECT_TRUE(daemon.errHas("clkctl: clock source = f2\n"));

  c.expect("80010214010200", {"80010240"});  // trunkCfg {trunk 2, slave}
  c.expect("80010314012800", {"80010340"});  // trunkCfg {trunk 40, slave}: no bit of its own
  c.expect("80010414010280", {"80010440"});  // trunkCfg {trunk 2, master}
  EXPECT_EQ(control("maintenance tclk"), (Lines{"tclk 0x00000000", "tclk 0x00000004", "tclk 0x00000004",
                                                "tclk 0x00000000"}));

  // cas {1, 5} open 9: the trunk report and the channel come before the success.
  c.expect("800106123c01010105000109",
         {"23800101010001000100",   // cas {1, 0} rx 0 tx 0
          "23800101010501000109",   // cas {1, 5} rx 0 tx 9
          "80010640"});
  EXPECT_EQ(control("e1-cas rx 1 5 3"), Lines{"reached 1"});
  c.expectNext({"23800101010501030109"}, "rx 3");  // cas {1, 5} rx 3 tx 9
  EXPECT_EQ(control("e1-cas event 0102"), Lines{"reached 1"});
  EXPECT_TRUE(c.quiet(100));
  c.expect("800107123c0101010040", {"23800101010001010100", "80010740"});  // close {1, 0}: rx 1
  EXPECT_EQ(control("e1-cas state"), (Lines{"trunk 0 closed", "trunk 1 closed", "trunk 2 closed", "trunk 3 closed"}));

  control("fail e1-cas ioctl 0x80044300 EIO");
  c.expect("800108123c01020103000101", {"23800102010001ff0100", "80010840"});  // cas {2, 0} rx -1
  EXPECT_TRUE(daemon.errHas("E1: open cas signalling on trunk(2) - fail(-1)\n"));
}

TEST_F(BoardControl, BackplaneTestWritesReadsBackAndReportsABrokenChannel) {
  Controller c;
  ASSERT_TRUE(c.connect(daemon.port()));
  c.expect("8001030240014d4008", {"80010340"});  // testBpc {bus 2, seed 77, write, 0, 8}
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
  c.expect("8001040240014d0008", {"80010440"});  // the same range read back

  // Timeslot 5 of bus 2 no longer loops back what it is driven with.
  const unsigned stuck = bytes[5] ^ 0x3C;
  control("hal switch stuck " + std::to_string(8192 + 256 + 5) + " " + std::to_string(stuck));
  c.expect("8001050240014d4008", {"8001056a"});  // write again: busError
  char line[64];
  std::snprintf(line, sizeof line, "bus 2: write failed on channel 5 write %02X  written %02X \n", bytes[5], stuck);
  EXPECT_TRUE(daemon.errHas(line));
  control("hal switch unstick " + std::to_string(8192 + 256 + 5));
  c.expect("8001060240014d4008", {"80010640"});
  c.expect("8001070240014d8008", {"80010740"});  // disconnect mode: the range is off
  EXPECT_EQ(control("hal switch map"), Lines{});
}

TEST_F(DisabledClock, ClockCfgIsUnsupportedAndTheClockIsLeftAlone) {
  EXPECT_TRUE(daemon.errHas("clkctl: clock control disabled.\n"));
  auto c = std::make_unique<Controller>();
  ASSERT_TRUE(c->connect(daemon.port()));
  c->expect("80010116000102", {"80010166"});  // clockCfg: error unsupported
  c.reset();
  ASSERT_TRUE(daemon.errHas(" closed.\n"));
  EXPECT_EQ(control("hal clock history"), Lines{});
}

}  // namespace
