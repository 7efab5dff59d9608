// The simulated RTP engine and voice driver as the daemon meets them: reads
// that never wait, channels handed out and taken back, events queued on one
// session only, and channel counts only for the codec types the driver knows.

#include "board/Board.h"
#include "board/Paths.h"
#include "board/Record.h"
#include "board/dev/Rtp.h"
#include "board/dev/Voice.h"
#include "board/sim/Sim.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <string>
#include <vector>

namespace {

namespace Eng = Board::Dev::Rtp;
using Lines = std::vector<std::string>;

int openRtp() { return Board::open(Board::Paths::path(Eng::Path).c_str(), O_RDONLY); }

// Begins a session and adds channel `asked` (-1: any): the request's result.
int session(int fd, int32_t asked) {
  uint8_t begin[Eng::Session::Size] = {}, add[Eng::Channel::Size] = {};
  Board::RecordWriter(add, sizeof add).put(Eng::Channel::Tdm, asked);
  return Board::ioctl(fd, Eng::BeginSession, begin) < 0 ? -1 : Board::ioctl(fd, Eng::AddChannel, add);
}

class RtpDevice : public ::testing::Test {
protected:
  void SetUp() override { Board::Sim::reset(); }
};

TEST_F(RtpDevice, SessionsHoldTheirChannelsUntilTheLastDescriptorCloses) {
  const int a = openRtp(), b = openRtp();
  uint8_t record[Eng::Event::Size];
  // Opened without O_NONBLOCK, yet an empty queue fails the read at once.
  EXPECT_EQ(Board::read(a, record, sizeof record), -1);
  EXPECT_EQ(errno, EAGAIN);
  EXPECT_EQ(Board::ioctlValue(a, Eng::InputOn, 0), -1) << "no channel yet";
  ASSERT_EQ(session(a, -1), 0);
  EXPECT_EQ(session(b, 1024), -1) << "1024 is taken";
  EXPECT_EQ(errno, EBUSY);
  const int c = openRtp();
  Board::close(a);
  ASSERT_EQ(session(c, 1024), 0) << "a released channel can be asked back";

  // Events reach the one session they are queued on, one record per read.
  EXPECT_EQ(Board::Sim::control("rtp event 1 1 5"), (Lines{"ERR no session: 1"}));
  EXPECT_EQ(Board::Sim::control("rtp event 3 1 5"), (Lines{"ERR packet detector off in session 3"}));
  EXPECT_EQ(Board::Sim::control("rtp event 3 4 -5 9"), Lines{"OK"});
  ASSERT_EQ(Board::read(c, record, sizeof record), ssize_t(sizeof record));
  Board::RecordReader in(record, sizeof record);
  EXPECT_EQ(in.get(Eng::Event::Type), 4u);
  EXPECT_EQ(in.get(Eng::Event::Value), -5);
  EXPECT_EQ(in.get(Eng::Event::Timeout), 9);
  EXPECT_EQ(Board::read(b, record, sizeof record), -1);

  const int d = ::dup(c);
  Board::close(c);
  EXPECT_EQ(Board::Sim::control("rtp sessions").size(), 3u) << "a duplicate keeps the session";
  Board::close(d);
  Board::close(b);
  EXPECT_EQ(Board::Sim::control("rtp sessions"), Lines{"OK"});
}

TEST_F(RtpDevice, TheVoiceDriverCountsChannelsOfTheTypesItKnows) {
  const int fd = Board::open(Board::Paths::path(Board::Dev::Voice::Path).c_str(), O_RDONLY);
  uint8_t word[Board::Dev::Voice::ChannelCount::Size] = {0, 0, 0, 3};
  EXPECT_EQ(Board::ioctl(fd, Board::Dev::Voice::CountChannels, word), -1) << "type 3 is none";
  EXPECT_EQ(Board::Sim::control("voice channels 3 1"), Lines{"ERR unknown channel type: 3"});
  Board::close(fd);
}

}  // namespace
