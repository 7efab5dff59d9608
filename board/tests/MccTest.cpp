// The simulated HDLC controller's far-end socket: one peer at a time, frames
// both ways, and its end with the channel.

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

// A data channel as the daemon allocates one.
int allocate() {
  const int fd = Board::open(Board::Paths::path(Ctl::Path).c_str(), O_RDWR | O_NONBLOCK);
  uint8_t record[Ctl::Allocation::Size] = {};
  EXPECT_EQ(Board::ioctl(fd, Ctl::Allocate, record), 0);
  return fd;
}

// The next frame on the channel; the far end's thread passes it on, as soon as a loaded machine lets it.
std::string frameOn(int fd) {
  pollfd p{fd, POLLIN, 0};
  char buf[64];
  const ssize_t n = ::poll(&p, 1, 5000) == 1 ? Board::read(fd, buf, sizeof buf) : -1;
  return n < 0 ? "(nothing)" : std::string(buf, size_t(n));
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
