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
using hw::Lines;

namespace {

std::string bpc(unsigned bus, int seed, const char* mode, unsigned start, unsigned length) {
  return "testBpc : { bus " + std::to_string(bus) + ", seed " + std::to_string(seed) + ", mode " + mode +
         " : NULL, timeslot-start " + std::to_string(start) + ", timeslot-length " + std::to_string(length) + " }";
}

// The bytes a controller expects for a seed: the low bytes of the sequence.
std::vector<unsigned char> sequence(int seed, unsigned n) {
  srandom(unsigned(seed));
  std::vector<unsigned char> bytes;
  for (unsigned i = 0; i < n; ++i) bytes.push_back(static_cast<unsigned char>(random() & 0xFF));
  return bytes;
}

const std::string busError = "{ pdu response : error : busError }";

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
  EXPECT_EQ(command(bpc(2, -7, "read", 120, 12)), Lines{hw::success});
  const unsigned char wrong = static_cast<unsigned char>(bytes[9] ^ 0x5A);
  onSwitch([&](HalSwitch& sw) { sw.setLineByte(channel(2, 129), wrong); });
  Testing::Capture err(std::cerr);
  EXPECT_EQ(command(bpc(2, -7, "read", 120, 12)), Lines{busError});
  EXPECT_EQ(err.str(), "bus 2: test failed on channel 1 expected " + hex(bytes[9]) + "  read " + hex(wrong) + " \n");
}

TEST_F(HwTestsTest, AnEmptyRangeTouchesNothing) {
  EXPECT_EQ(command(bpc(15, 1, "read", 127, 0)), Lines{hw::success});
  // Taken outside the loop, so that the switch's periodic re-disable adds nothing to the counts.
  const Lines before = hw::control("hal switch counts");
  for (const char* mode : {"read", "write", "disconnect"}) {
    EXPECT_TRUE(HwTests::instance().OnCommand(hw::commandOf(bpc(15, 1, mode, 127, 0))));
  }
  EXPECT_EQ(hw::control("hal switch counts"), before);
}

TEST_F(HwTestsTest, ARangePastTheLastBusGoesToTheDeviceAndNoFurther) {
  const auto bytes = sequence(4321, 20);
  ASSERT_NE(bytes[8], 0xFF);
  Testing::Capture err(std::cerr);
  // Timeslots 120..139 of bus 15 are 10232..10251: the last 12 lie beyond every bus.
  EXPECT_EQ(command(bpc(15, 4321, "write", 120, 20)), Lines{busError});
  EXPECT_EQ(err.str(), "bus 15: write failed on channel 0 write " + hex(bytes[8]) + "  written FF \n");
  for (unsigned t = 120; t < 128; ++t) EXPECT_EQ(HwMux::instance().Shadow(channel(15, t)), HwMux::Driven);
  EXPECT_EQ(onSwitch([](HalSwitch& sw) { return sw.outputs().size(); }), 8u);
}
