// The simulated HDLC controller seen from the daemon's descriptors and the
// control socket: channels cabled inside the board, the far-end socket's one
// peer at a time and its end with the channel, and the commands' replies.

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
#include <string>
#include <unistd.h>

namespace {

using Lines = std::vector<std::string>;
namespace Ctl = Board::Dev::Mcc;

// A channel as the daemon allocates one: its descriptor.
int allocate(uint32_t type = Ctl::Data) {
  const int fd = Board::open(Board::Paths::path(Ctl::Path).c_str(), O_RDWR | O_NONBLOCK);
  uint8_t record[Ctl::Allocation::Size] = {};
  Board::RecordWriter(record, sizeof record).put(Ctl::Allocation::Type, type);
  Board::RecordWriter(record, sizeof record).put(Ctl::Allocation::RxPacketSize, 4);
  EXPECT_EQ(Board::ioctl(fd, Ctl::Allocate, record), 0);
  return fd;
}

std::string readFrame(int fd) {
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, 200) != 1) return "(nothing)";
  char buf[64];
  const ssize_t n = Board::read(fd, buf, sizeof buf);
  return n < 0 ? "(error)" : std::string(buf, size_t(n));
}

class McDevice : public ::testing::Test {
protected:
  void SetUp() override { Board::Sim::reset(); }
  void TearDown() override {
    for (int fd : fds) Board::close(fd);
  }
  int channel(uint32_t type = Ctl::Data) { return fds.emplace_back(allocate(type)); }
  std::vector<int> fds;
};

TEST_F(McDevice, CabledChannelsCarryEachOthersFramesWithinTheReceiveLimit) {
  const int a = channel(), b = channel(Ctl::Ss7);
  EXPECT_EQ(Board::Sim::control("mcc cable 256 257"), Lines{"OK"});
  EXPECT_EQ(Board::write(a, "\x01\x02", 2), 2);
  EXPECT_EQ(readFrame(b), "\x01\x02");
  EXPECT_EQ(Board::write(b, "\x03", 1), 1);
  EXPECT_EQ(readFrame(a), "\x03");
  // Longer than the 4 octets b allocated for: lost on the line, yet written.
  EXPECT_EQ(Board::write(a, "\x01\x02\x03\x04\x05", 5), 5);
  EXPECT_EQ(Board::Sim::control("mcc counters"),
            (Lines{"256 tx 2/7 lost 0 rx 1/1 dropped 0", "257 tx 1/1 lost 0 rx 1/2 dropped 1", "OK"}));
  EXPECT_EQ(Board::Sim::control("mcc uncable 257"), Lines{"OK"});
  EXPECT_EQ(Board::write(a, "\x09", 1), 1);
  EXPECT_EQ(readFrame(b), "(nothing)");
  // Freeing a channel takes its cable with it.
  EXPECT_EQ(Board::Sim::control("mcc cable 256 257"), Lines{"OK"});
  Board::close(b);
  fds.pop_back();
  const int c = channel();
  EXPECT_EQ(Board::Sim::control("mcc channels"), (Lines{"256 type=0", "257 type=0", "OK"}));
  EXPECT_EQ(Board::write(a, "\x0A", 1), 1);
  EXPECT_EQ(readFrame(c), "(nothing)");
}

TEST_F(McDevice, TheFarEndTakesOnePeerAndEndsWithTheChannel) {
  const int fd = channel();
  Board::Sim::FarEndClient first, second;
  ASSERT_TRUE(first.connect(256, 1000));
  ASSERT_TRUE(second.connect(256, 1000));
  // The newer peer replaces the older, which sees the end.
  std::string frame;
  EXPECT_FALSE(first.receive(frame, 200));
  EXPECT_EQ(Board::Sim::control("mcc farend 256"), (Lines{Board::Sim::MccFarEnds::path(256) + " attached", "OK"}));
  ASSERT_TRUE(second.send("\x42"));
  EXPECT_EQ(readFrame(fd), "\x42");
  EXPECT_EQ(Board::write(fd, "\x43", 1), 1);
  ASSERT_TRUE(second.receive(frame));
  EXPECT_EQ(frame, "\x43");
  // The channel freed, its socket is gone.
  Board::close(fd);
  fds.clear();
  EXPECT_EQ(Board::Sim::control("mcc channels"), Lines{"OK"});
  EXPECT_FALSE(second.receive(frame, 200));
  EXPECT_NE(::access(Board::Sim::MccFarEnds::path(256).c_str(), F_OK), 0);
}

TEST_F(McDevice, CommandsNameWhatTheyCannotDo) {
  channel();
  const struct {
    const char* line;
    const char* reply;
  } cases[] = {
      {"mcc receive 300 01", "ERR channel not allocated: 300"},
      {"mcc receive 256 0102030405", "ERR frame dropped: 5 bytes"},
      {"mcc cable 256 256", "ERR a channel cannot be cabled to itself"},
      {"mcc refuse 256 ENOPE", "ERR bad errno: ENOPE"},
      {"mcc refuse 257 EIO", "ERR channel not allocated: 257"},
      {"mcc hangup 1 2", "ERR usage: mcc hangup [CHANNEL]"},
      {"mcc farend x", "ERR bad channel: x"},
  };
  for (const auto& c : cases) EXPECT_EQ(Board::Sim::control(c.line).back(), c.reply) << c.line;
  EXPECT_EQ(Board::Sim::control("mcc hangup"), (Lines{"reached 1", "OK"}));
}

}  // namespace
