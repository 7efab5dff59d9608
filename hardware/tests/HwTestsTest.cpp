// Backplane tests through the TDM switch on the simulated board: the bytes of
// the srandom()/random() sequence written and read back, a mismatch answered
// busError with its log line, and ranges that are empty, switched off, or run
// past the last bus.

#include <cstdlib>
#include <iostream>

#include "board/sim/Hal.h"
#include "board/sim/HalSwitch.h"
#include "hardware/HwMux.h"
#include "hardware/tests/Support.h"

using Board::Sim::Hal;
using Board::Sim::HalSwitch;
using fixture::Capture;
using fixture::count;
using hw::board;
using hw::Frames;
using hw::success;
using Mode = LGCP::BpcTestMode::Alternative;

namespace {

LGCP::Command bpc(unsigned bus, int seed, Mode mode, unsigned start, unsigned length) {
  LGCP::Command cmd;
  LGCP::BpcTestParams& p = cmd.select_testBpc();
  p.set_bus(bus);
  p.set_seed(seed);
  switch (mode) {
    case LGCP::BpcTestMode::e_read:
      p.get_mode().select_read();
      break;
    case LGCP::BpcTestMode::e_write:
      p.get_mode().select_write();
      break;
    default:
      p.get_mode().select_disconnect();
      break;
  }
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
  return Board::Sim::with<Hal>("hal", [&](Hal& hal) { return fn(*hal.part<HalSwitch>()); });
}

std::string hexByte(unsigned char b) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", b);
  return text;
}

const Mode Read = LGCP::BpcTestMode::e_read;
const Mode Write = LGCP::BpcTestMode::e_write;
const Mode Disconnect = LGCP::BpcTestMode::e_disconnect;

}  // namespace

class HwTestsTest : public hw::ServiceTest {};

TEST_F(HwTestsTest, WriteModeDrivesTheSequenceAndReadsItBack) {
  auto c = controller();
  EXPECT_EQ(command(*c, bpc(3, 1234, Write, 10, 20)), Frames{success});
  const auto bytes = sequence(1234, 20);
  onSwitch([&](HalSwitch& sw) {
    for (unsigned i = 0; i < 20; ++i) {
      const auto o = sw.outputs().find(channel(3, 10 + i));
      ASSERT_NE(o, sw.outputs().end()) << i;
      EXPECT_TRUE(o->second.driven);
      EXPECT_EQ(o->second.value, bytes[i]) << i;
    }
    EXPECT_EQ(sw.outputs().size(), 20u);
    EXPECT_EQ(sw.counts().read, 20u);
  });
  EXPECT_EQ(HwMux::instance().Shadow(channel(3, 10)), HwMux::Driven);
}

TEST_F(HwTestsTest, ReadModeComparesTheLineAndNamesTheFirstBadTimeslot) {
  auto c = controller();
  const auto bytes = sequence(-7, 12);
  onSwitch([&](HalSwitch& sw) {
    for (unsigned i = 0; i < 12; ++i) sw.setLineByte(channel(2, 120 + i), bytes[i]);
  });
  // 120..131 runs into bus 3: the timeslots in the log go 120..127, 0..3.
  EXPECT_EQ(command(*c, bpc(2, -7, Read, 120, 12)), Frames{success});

  const unsigned char wrong = static_cast<unsigned char>(bytes[9] ^ 0x5A);
  onSwitch([&](HalSwitch& sw) {
    sw.setLineByte(channel(2, 129), wrong);
  });
  Capture err(std::cerr);
  EXPECT_EQ(command(*c, bpc(2, -7, Read, 120, 12)), Frames{hw::errorFrame(LGCP::ErrorCause::busError)});
  EXPECT_EQ(err.str(), "bus 2: test failed on channel 1 expected " + hexByte(bytes[9]) + "  read " + hexByte(wrong) +
                           " \n");
  // The reply on the wire: error busError.
  EXPECT_EQ(hw::errorFrame(LGCP::ErrorCause::busError), "1a80");
}

TEST_F(HwTestsTest, ABrokenReadBackAnswersBusErrorAtTheFirstChannel) {
  auto c = controller();
  const auto bytes = sequence(99, 1);
  ASSERT_NE(bytes[0], 0xFF);
  ASSERT_EQ(board("fail hal ioctl 0xC0084D05 EIO"), std::vector<std::string>{"OK"});
  Capture err(std::cerr);
  EXPECT_EQ(command(*c, bpc(0, 99, Write, 5, 3)), Frames{hw::errorFrame(LGCP::ErrorCause::busError)});
  EXPECT_EQ(err.str(), "bus 0: write failed on channel 5 write " + hexByte(bytes[0]) + "  written FF \n");
}

TEST_F(HwTestsTest, AnEmptyRangeTouchesNothingAndDisconnectSwitchesTheRangeOff) {
  auto c = controller();
  const HalSwitch::Counts before = onSwitch([](HalSwitch& sw) { return sw.counts(); });
  for (Mode m : {Read, Write, Disconnect}) EXPECT_EQ(command(*c, bpc(15, 1, m, 127, 0)), Frames{success});
  const HalSwitch::Counts after = onSwitch([](HalSwitch& sw) { return sw.counts(); });
  EXPECT_EQ(after.read, before.read);
  EXPECT_EQ(after.write, before.write);

  ASSERT_EQ(command(*c, bpc(1, 5, Write, 0, 4)), Frames{success});
  EXPECT_EQ(command(*c, bpc(1, 5, Disconnect, 1, 2)), Frames{success});
  onSwitch([](HalSwitch& sw) {
    EXPECT_EQ(sw.outputs().size(), 2u);
    EXPECT_EQ(sw.outputs().count(channel(1, 0)), 1u);
    EXPECT_EQ(sw.outputs().count(channel(1, 3)), 1u);
  });
  EXPECT_EQ(HwMux::instance().Shadow(channel(1, 1)), HwMux::Off);
  EXPECT_EQ(HwMux::instance().Shadow(channel(1, 3)), HwMux::Driven);
}

TEST_F(HwTestsTest, ARangePastTheLastBusGoesToTheDeviceAndNoFurther) {
  auto c = controller();
  const auto bytes = sequence(4321, 20);
  ASSERT_NE(bytes[8], 0xFF);
  Capture err(std::cerr);
  // Timeslots 120..139 of bus 15: 10232..10251, the last 12 beyond every bus.
  EXPECT_EQ(command(*c, bpc(15, 4321, Write, 120, 20)), Frames{hw::errorFrame(LGCP::ErrorCause::busError)});
  EXPECT_EQ(err.str(), "bus 15: write failed on channel 0 write " + hexByte(bytes[8]) + "  written FF \n");
  for (unsigned t = 120; t < 128; ++t) EXPECT_EQ(HwMux::instance().Shadow(channel(15, t)), HwMux::Driven);
  EXPECT_EQ(onSwitch([](HalSwitch& sw) { return sw.outputs().size(); }), 8u);
}
