// The simulated RTP extension device as a radio controller meets it: an
// attach only to an open RTP session of this process and a detach only with
// that record on that same session, one block at a time
// with the packet info of the block the next read returns, the source
// filter over waiting blocks, and writes only on an attached session.

#include "board/Board.h"
#include "board/Paths.h"
#include "board/Record.h"
#include "board/dev/Rtp.h"
#include "board/dev/RtpExt.h"
#include "board/sim/Sim.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <cerrno>
#include <string>
#include <vector>

namespace {

namespace Ext = Board::Dev::RtpExt;
using Lines = std::vector<std::string>;

int open(const char* path) { return Board::open(Board::Paths::path(path).c_str(), O_RDWR); }

int init(int fd) {
  uint8_t record[Ext::Init::Size] = {0x01, 0x67};
  return Board::ioctl(fd, Ext::InitSession, record);
}

// Attach or detach with the record {rtp, pid}: 0, or -1 with errno.
int attach(int fd, int32_t rtp, uint32_t request = Ext::AttachSession, int32_t pid = -1) {
  uint8_t record[Ext::Attach::Size];
  Board::RecordWriter out(record, sizeof record);
  out.put(Ext::Attach::FdRtp, rtp);
  out.put(Ext::Attach::PidRtp, pid);
  return Board::ioctl(fd, request, record);
}
int detach(int fd, int32_t rtp, int32_t pid = -1) { return attach(fd, rtp, Ext::DetachSession, pid); }

// The packet-info answer and the block read after it, as "result ssrc addr bytes".
std::string next(int fd) {
  uint8_t info[Ext::PacketInfo::Size];
  const int r = Board::ioctl(fd, Ext::NextPacketInfo, info);
  Board::RecordReader in(info, sizeof info);
  char block[Ext::BlockMax];
  const ssize_t n = Board::read(fd, block, sizeof block);
  return std::to_string(r) + " " + std::to_string(in.get(Ext::PacketInfo::Ssrc)) + " " +
         std::to_string(in.get(Ext::PacketInfo::Addr)) + " " + std::string(block, size_t(n > 0 ? n : 0));
}

TEST(RtpExtDevice, BlocksReachTheDaemonOneAtATimeWithTheirSource) {
  Board::Sim::reset();
  const int rtp = open(Board::Dev::Rtp::Path), ext = open(Ext::Path), other = open(Ext::Path);
  EXPECT_EQ(attach(ext, rtp), -1) << "not initialised";
  ASSERT_EQ(init(ext), 0);
  EXPECT_EQ(init(ext), -1) << "initialised twice";
  EXPECT_EQ(attach(ext, other), -1) << "no RTP session";
  EXPECT_EQ(errno, EBADF);
  EXPECT_EQ(Board::write(ext, "ab", 2), -1) << "not attached";
  ASSERT_EQ(attach(ext, rtp), 0);
  EXPECT_EQ(Board::write(ext, "ab", 2), 2);

  for (const char* source : {"10.0.0.1 7 6141", "10.0.0.2 8 6242", "10.0.0.1 9 6343", "10.0.0.1 10 6444"})
    EXPECT_EQ(Board::Sim::control(std::string("rtp_ext receive 1 ") + source).at(0).substr(0, 7), "queued ");
  EXPECT_EQ(next(ext), "2 7 167772161 aA");
  uint8_t filter[Ext::Filter::Size] = {10, 0, 0, 1, 0, 0, 0, 0};
  EXPECT_EQ(Board::ioctl(ext, Ext::SetFilter, filter), 0);
  EXPECT_EQ(Board::Sim::control("rtp_ext receive 1 10.0.0.2 8 6545"), (Lines{"filtered", "OK"}));
  EXPECT_EQ(next(ext), "2 9 167772161 cC") << "the block from 10.0.0.2 was dropped";
  EXPECT_EQ(Board::ioctl(ext, Ext::ResetFilter, filter), 0);
  EXPECT_EQ(next(ext), "2 10 167772161 dD");
  EXPECT_EQ(next(ext), "0 0 0 ");
  EXPECT_EQ(Board::Sim::control("rtp_ext sessions"),
            (Lines{"1 etype=0x0167 mode=0 pt=0 interval=0 sigtime=0 attach=" + std::to_string(rtp) +
                       "/-1 filter=off queued=0 filtered=2",
                   "2 init=none attach=none filter=off queued=0 filtered=0", "OK"}));
  for (int fd : {rtp, ext, other}) Board::close(fd);
}

// The driver lets an attach go only with its own record while the descriptor still names the RTP session it
// named at attach; the board shows an attach whose descriptor no longer does.
TEST(RtpExtDevice, DetachTakesTheAttachRecordOnTheSameRtpSession) {
  Board::Sim::reset();
  const int rtp = open(Board::Dev::Rtp::Path), ext = open(Ext::Path), later = open(Ext::Path);
  ASSERT_EQ(init(ext), 0);
  ASSERT_EQ(init(later), 0);
  EXPECT_EQ(detach(ext, rtp), -1) << "not attached";
  EXPECT_EQ(errno, EINVAL);
  ASSERT_EQ(attach(ext, rtp), 0);
  const struct {
    int32_t rtp;
    int32_t pid;
  } others[] = {{rtp + 1, -1}, {rtp, 1234}};
  for (const auto& o : others) {
    EXPECT_EQ(detach(ext, o.rtp, o.pid), -1) << o.rtp << "/" << o.pid;
    EXPECT_EQ(errno, EINVAL);
  }
  const std::string attached = " attach=" + std::to_string(rtp) + "/-1 ";
  EXPECT_NE(Board::Sim::control("rtp_ext sessions").at(0).find(attached + "filter="), std::string::npos);

  // The number closed and taken by another RTP session.
  Board::close(rtp);
  ASSERT_EQ(open(Board::Dev::Rtp::Path), rtp);
  EXPECT_NE(Board::Sim::control("rtp_ext sessions").at(0).find(attached + "stale filter="), std::string::npos);
  EXPECT_EQ(detach(ext, rtp), -1);
  EXPECT_EQ(errno, EBADF);
  ASSERT_EQ(attach(later, rtp), 0);
  EXPECT_EQ(detach(later, rtp), 0);
  EXPECT_EQ(
      Board::Sim::control("rtp_ext sessions"),
      (Lines{"1 etype=0x0167 mode=0 pt=0 interval=0 sigtime=0" + attached + "stale filter=off queued=0 filtered=0",
             "2 etype=0x0167 mode=0 pt=0 interval=0 sigtime=0 attach=none filter=off queued=0 filtered=0", "OK"}));
  for (int fd : {rtp, ext, later}) Board::close(fd);
}

}  // namespace
