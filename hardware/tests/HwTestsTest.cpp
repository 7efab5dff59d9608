// Backplane tests beyond what the end-to-end test shows: a mismatch on one
// channel of a range that runs into the next bus, an empty range, and a range
// that runs past the last bus.

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "board/sim/Hal.h"
#include "board/sim/HalSwitch.h"
#include "hardware/HwMux.h"
#include "hardware/tests/Support.h"

using Board::Sim::HalSwitch;
using Testing::Capture;
using hw::Frames;

namespace {

LGCP::Command bpc(unsigned bus, int seed, char mode, unsigned start, unsigned length) {
  LGCP::Command cmd;
  LGCP::BpcTestParams& p = cmd.select_testBpc();
  p.set_bus(bus);
  p.set_seed(seed);
  if (mode == 'r') p.get_mode().select_read();
  if (mode == 'w') p.get_mode().select_write();
  if (mode == 'd') p.get_mode().select_disconnect();
  p.set_timeslot_start(start);
  p.set_timeslot_length(length);
  return cmd;
}

// The bytes a controller expects for a seed: the low bytes of the sequence.
std::vector<unsigned char> sequence(int seed, unsigned n) {
  srandom(unsigned(seed));
  std::vector<unsigned char> bytes;
  for (unsigned i = 0; i < n; ++i) bytes.push_back(static_cast<unsigned char>(random() & 0xFF));
  return bytes;
}

int channel(unsigned bus, unsigned timeslot) { return 8192 + 128 * int(bus) + int(timeslot); }

template <class F>
auto onSwitch(F fn) {
  return Board::Sim::with<Board::Sim::Hal>("hal", [&](Board::Sim::Hal& hal) { return fn(*hal.part<HalSwitch>()); });
}

std::string hex(unsigned char b) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", b);
  return text;
}

}  // namespace

class HwTestsTest : public hw::ServiceTest {};

TEST_F(HwTestsTest, ReadModeNamesTheTimeslotOfTheFirstMismatch) {
  const auto bytes = sequence(-7, 12);
  onSwitch([&](HalSwitch& sw) {
    for (unsigned i = 0; i < 12; ++i) sw.setLineByte(channel(2, 120 + i), bytes[i]);
  });
  // 120..131 runs into bus 3: the log counts timeslots modulo 128.
  EXPECT_EQ(command(bpc(2, -7, 'r', 120, 12)), Frames{hw::success});
  const unsigned char wrong = static_cast<unsigned char>(bytes[9] ^ 0x5A);
  onSwitch([&](HalSwitch& sw) { sw.setLineByte(channel(2, 129), wrong); });
  Capture err(std::cerr);
  EXPECT_EQ(command(bpc(2, -7, 'r', 120, 12)), Frames{hw::busError});
  EXPECT_EQ(err.str(), "bus 2: test failed on channel 1 expected " + hex(bytes[9]) + "  read " + hex(wrong) + " \n");
}

TEST_F(HwTestsTest, AnEmptyRangeTouchesNothing) {
  EXPECT_EQ(command(bpc(15, 1, 'r', 127, 0)), Frames{hw::success});
  // Taken outside the loop, so that the switch's periodic re-disable adds nothing to the counts.
  const hw::Lines before = hw::board("hal switch counts");
  for (char m : {'r', 'w', 'd'}) EXPECT_TRUE(HwTests::instance().OnCommand(bpc(15, 1, m, 127, 0)));
  EXPECT_EQ(hw::board("hal switch counts"), before);
}

TEST_F(HwTestsTest, ARangePastTheLastBusGoesToTheDeviceAndNoFurther) {
  const auto bytes = sequence(4321, 20);
  ASSERT_NE(bytes[8], 0xFF);
  Capture err(std::cerr);
  // Timeslots 120..139 of bus 15 are 10232..10251: the last 12 lie beyond every bus.
  EXPECT_EQ(command(bpc(15, 4321, 'w', 120, 20)), Frames{hw::busError});
  EXPECT_EQ(err.str(), "bus 15: write failed on channel 0 write " + hex(bytes[8]) + "  written FF \n");
  for (unsigned t = 120; t < 128; ++t) EXPECT_EQ(HwMux::instance().Shadow(channel(15, t)), HwMux::Driven);
  EXPECT_EQ(onSwitch([](HalSwitch& sw) { return sw.outputs().size(); }), 8u);
}
