// The controller channel client against the simulated controller: which step
// fails with which errno, whether the channel is taken in one call or opened
// first, what the device is asked, and the free-channel query.

#include <gtest/gtest.h>

#include <fcntl.h>

#include <cerrno>
#include <string>
#include <vector>

#include "board/dev/Mcc.h"
#include "hardware/MccChannel.h"
#include "testing/Board.h"

namespace {

using Lines = std::vector<std::string>;
using Testing::control;

TEST(MccChannel, SaysWhichStepFailedAndKeepsItsErrno) {
  const std::string allocate = "allocate type=2 rx_packet_size=160 reserved=0 rx_threshold=2 tx_threshold=3";
  const struct {
    const char* fault;
    MccChannel::Step failed;
    int error;
    int timeslot;
    Lines asked;     // a refused request does not reach the journal
    bool allocated;  // held by the descriptor the result keeps
    const char* text;
  } cases[] = {
      {"", MccChannel::None, 0, 256, {allocate, "timeslot"}, true, ""},
      {"absent mcc", MccChannel::Open, ENOENT, -1, {}, false, "open"},
      {"fail mcc ioctl 0x40144D00 ENOSPC", MccChannel::Allocate, ENOSPC, -1, {}, false, "allocate"},
      {"fail mcc ioctl 0x20004D02 EIO", MccChannel::Timeslot, EIO, -1, {allocate}, true, "timeslot"},
  };
  const MccChannel::Allocation allocation = {Board::Dev::Mcc::Transparent, 160, 2, 3};
  for (const auto& c : cases) {
    // In one call, and opened first with the allocation after (a failed open asks nothing more).
    for (const bool split : {false, true}) {
      SCOPED_TRACE(std::string(c.fault) + (split ? " split" : ""));
      Board::Sim::reset();
      if (*c.fault) control(c.fault);
      MccChannel mcc = split ? MccChannel::open(O_RDWR | O_NONBLOCK) : MccChannel::open(O_RDWR, allocation);
      if (split) mcc.allocate(allocation);
      EXPECT_EQ(bool(mcc), c.failed == MccChannel::None);
      EXPECT_EQ(mcc.failed, c.failed);
      EXPECT_EQ(mcc.error, c.error);
      EXPECT_EQ(mcc.timeslot, c.timeslot);
      EXPECT_EQ(bool(mcc.fd), c.failed != MccChannel::Open);
      EXPECT_EQ(Testing::journal("mcc"), c.asked);
      EXPECT_STREQ(mcc.failure("open", "allocate", "timeslot"), c.text);
      EXPECT_EQ(control("mcc channels"), c.allocated ? Lines{"256 type=2"} : Lines{});
    }
  }
}

TEST(MccChannel, FreeChannelsAreZeroWhenTheDeviceFailsThem) {
  const struct {
    const char* setting;
    int32_t data, bri, transparent;
  } cases[] = {
      {"", 16, 8, 8},
      {"mcc resources 3 -1 0x7FFFFFFF", 3, -1, 0x7FFFFFFF},
      {"absent mcc", 0, 0, 0},
      {"fail mcc ioctl 0x80104D03 EIO", 0, 0, 0},
  };
  for (const auto& c : cases) {
    Board::Sim::reset();
    if (*c.setting) control(c.setting);
    const MccChannel::FreeChannels free = MccChannel::freeChannels();
    EXPECT_EQ(free.data, c.data) << c.setting;
    EXPECT_EQ(free.bri, c.bri) << c.setting;
    EXPECT_EQ(free.transparent, c.transparent) << c.setting;
  }
}

}  // namespace
