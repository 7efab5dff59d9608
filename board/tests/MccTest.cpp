// The simulated HDLC controller from the daemon's descriptors: a cable
// inside the board within the receive limit and its end with a channel, and
// the far-end socket's one peer at a time and its end with the channel.

#include "board/Board.h"
#include "board/Paths.h"
#include "board/Record.h"
#include "board/dev/Mcc.h"
#include "board/sim/FarEndClient.h"
#include "board/sim/MccFarEnds.h"
#include "board/sim/Sim.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

using Lines = std::vector<std::string>;
namespace Ctl = Board::Dev::Mcc;

// A channel as the daemon allocates one, taking frames of up to 4 octets.
int allocate() {
  const int fd = Board::open(Board::Paths::path(Ctl::Path).c_str(), O_RDWR | O_NONBLOCK);
  uint8_t record[Ctl::Allocation::Size] = {};
  Board::RecordWriter(record, sizeof record).put(Ctl::Allocation::RxPacketSize, 4);
  EXPECT_EQ(Board::ioctl(fd, Ctl::Allocate, record), 0);
  return fd;
}

std::string frameOn(int fd) {
  pollfd p{fd, POLLIN, 0};
  char buf[64];
  const ssize_t n = ::poll(&p, 1, 200) == 1 ? Board::read(fd, buf, sizeof buf) : -1;
  return n < 0 ? "(nothing)" : std::string(buf, size_t(n));
}

TEST(McDevice, CabledChannelsCarryEachOthersFramesUntilOneIsFreed) {
  Board::Sim::reset();
  const int a = allocate(), b = allocate();
  EXPECT_EQ(Board::Sim::control("mcc cable 256 257").back(), "OK");
  EXPECT_EQ(Board::write(a, "\x01\x02", 2), 2);
  EXPECT_EQ(frameOn(b), "\x01\x02");
  EXPECT_EQ(Board::write(b, "\x03", 1), 1);
  EXPECT_EQ(frameOn(a), "\x03");
  EXPECT_EQ(Board::write(a, "\x01\x02\x03\x04\x05", 5), 5);  // over b's 4 octets: lost on the line
  EXPECT_EQ(Board::Sim::control("mcc counters"),
            (Lines{"256 tx 2/7 lost 0 rx 1/1 dropped 0", "257 tx 1/1 lost 0 rx 1/2 dropped 1", "OK"}));
  Board::close(b);
  const int c = allocate();  // 257 again, without the cable
  EXPECT_EQ(Board::write(a, "\x0A", 1), 1);
  EXPECT_EQ(frameOn(c), "(nothing)");
  Board::close(a);
  Board::close(c);
}

TEST(McDevice, TheFarEndTakesOnePeerAndEndsWithTheChannel) {
  Board::Sim::reset();
  const int fd = allocate();
  Board::Sim::FarEndClient first, second;
  ASSERT_TRUE(first.connect(256, 1000));
  ASSERT_TRUE(second.connect(256, 1000));
  std::string frame;
  EXPECT_FALSE(first.receive(frame, 200));  // replaced: the end
  ASSERT_TRUE(second.send("\x42"));
  EXPECT_EQ(frameOn(fd), "\x42");
  EXPECT_EQ(Board::write(fd, "\x43", 1), 1);
  ASSERT_TRUE(second.receive(frame));
  EXPECT_EQ(frame, "\x43");
  Board::close(fd);
  EXPECT_EQ(Board::Sim::control("mcc channels"), Lines{"OK"});
  EXPECT_FALSE(second.receive(frame, 200));
  EXPECT_NE(::access(Board::Sim::MccFarEnds::path(256).c_str(), F_OK), 0);
}

}  // namespace
