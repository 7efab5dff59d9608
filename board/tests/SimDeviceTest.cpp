// A simulated device as the daemon's descriptors meet it: records, duplicates,
// open flags, exhaustion, a fork, and the paths the board leaves to the system.

#include "board/Record.h"
#include "board/tests/Probe.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

size_t openCount() {
  return Board::Sim::with<Probe>(ProbePath, [](Probe& p) { return p.files().size(); });
}

size_t inject(const uint8_t* event, size_t size) {
  return Board::Sim::with<Probe>(ProbePath, [&](Probe& p) { return p.inject(event, size); });
}

bool readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return Board::poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

using SimDevice = ProbeBoard;

}  // namespace

TEST_F(SimDevice, EventsArriveAsWholeRecordsOnEveryOpenFile) {
  const int fd = open(ProbePath);
  const int other = open(ProbePath);
  ASSERT_GE(fd, 0);
  ASSERT_GE(other, 0);
  EXPECT_EQ(openCount(), 2u);
  EXPECT_FALSE(readable(fd));

  uint8_t event[12];
  Board::RecordWriter(event, sizeof event).u32(0, 0xCAFE0001);
  Board::RecordWriter(event, sizeof event).u32(8, 3);
  EXPECT_EQ(inject(event, sizeof event), 2u);
  Board::RecordWriter(event, sizeof event).u32(0, 0xCAFE0002);
  inject(event, sizeof event);
  EXPECT_TRUE(readable(fd));
  EXPECT_TRUE(readable(other));

  // One read, one record, even with room for more; then the read fails.
  uint8_t buf[64];
  ASSERT_EQ(Board::read(fd, buf, sizeof buf), 12);
  EXPECT_EQ(Board::RecordReader(buf, 12).u32(0), 0xCAFE0001u);
  EXPECT_EQ(Board::RecordReader(buf, 12).u32(8), 3u);
  ASSERT_EQ(Board::read(fd, buf, sizeof buf), 12);
  EXPECT_EQ(Board::RecordReader(buf, 12).u32(0), 0xCAFE0002u);
  EXPECT_EQ(Board::read(fd, buf, sizeof buf), -1);
  EXPECT_EQ(errno, EAGAIN);
  EXPECT_EQ(Board::close(fd), 0);
  Board::close(other);
}

TEST_F(SimDevice, AFullEventQueueDropsEventsButKeepsTheQueuedOnes) {
  const int fd = open(ProbePath);
  ASSERT_GE(fd, 0);
  uint8_t event[12] = {};
  size_t queued = 0;
  for (uint32_t i = 0; i < 100000; ++i) {
    Board::RecordWriter(event, sizeof event).u32(0, i);
    if (inject(event, sizeof event) == 0) break;
    ++queued;
  }
  ASSERT_GT(queued, 0u);
  ASSERT_LT(queued, 100000u);
  uint8_t buf[12];
  for (size_t i = 0; i < queued; ++i) {
    ASSERT_EQ(Board::read(fd, buf, sizeof buf), 12);
    ASSERT_EQ(Board::RecordReader(buf, 12).u32(0), i);
  }
  EXPECT_FALSE(readable(fd));
  Board::close(fd);
}

TEST_F(SimDevice, ADuplicateIsTheSameOpenFileUntilTheLastCopyCloses) {
  const int fd = open(ProbePath);
  ASSERT_GE(fd, 0);
  const int copy = ::dup(fd);
  uint8_t word[4];
  Board::RecordWriter(word, 4).u32(0, 1);
  auto lastFile = [] { return probe([](Probe& p) { return p.lastFile; }); };
  ASSERT_EQ(Board::ioctl(fd, ProbeRequest, word), 0);
  const unsigned first = lastFile();
  ASSERT_EQ(Board::ioctl(copy, ProbeRequest, word), 0);
  EXPECT_EQ(lastFile(), first);
  EXPECT_EQ(openCount(), 1u);

  EXPECT_EQ(Board::close(fd), 0);
  EXPECT_EQ(openCount(), 1u);
  EXPECT_EQ(Board::ioctl(copy, ProbeRequest, word), 0);
  // Closed with the plain call, not through the layer: still noticed.
  EXPECT_EQ(::close(copy), 0);
  EXPECT_EQ(openCount(), 0u);
  EXPECT_EQ(Board::ioctl(copy, ProbeRequest, word), -1);
  EXPECT_EQ(errno, EBADF);
  EXPECT_EQ(Board::ioctlValue(copy, ProbeRequest, 1), -1);
  EXPECT_EQ(errno, EBADF);
}

TEST_F(SimDevice, WritesAndFlagsFollowTheOpenMode) {
  const int rw = open(ProbePath, O_RDWR);
  const int ro = open(ProbePath, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(rw, 0);
  ASSERT_GE(ro, 0);
  EXPECT_EQ(::fcntl(rw, F_GETFD) & FD_CLOEXEC, 0);
  EXPECT_EQ(::fcntl(rw, F_GETFL) & O_NONBLOCK, 0);
  EXPECT_NE(::fcntl(ro, F_GETFD) & FD_CLOEXEC, 0);
  EXPECT_NE(::fcntl(ro, F_GETFL) & O_NONBLOCK, 0);
  EXPECT_EQ(Board::write(rw, "abc", 3), 3);
  EXPECT_EQ(probe([](Probe& p) { return std::string(p.written.begin(), p.written.end()); }), "abc");
  EXPECT_EQ(Board::write(ro, "x", 1), -1);
  EXPECT_EQ(errno, EBADF);
  // Nothing the daemon writes comes back as an event.
  EXPECT_FALSE(readable(rw));
  Board::close(rw);
  Board::close(ro);
}

TEST_F(SimDevice, PathsTheBoardDoesNotModelReachTheSystem) {
  const std::string file = Board::Paths::path("/sim-plain-file");
  const int fd = Board::open(file.c_str(), O_RDWR | O_CREAT | O_TRUNC);
  ASSERT_GE(fd, 0) << file;
  EXPECT_EQ(Board::write(fd, "hello", 5), 5);
  EXPECT_EQ(::lseek(fd, 0, SEEK_SET), 0);
  char buf[8];
  EXPECT_EQ(Board::read(fd, buf, sizeof buf), 5);
  int pending = -1;
  EXPECT_EQ(Board::ioctl(fd, FIONREAD, &pending), 0);
  EXPECT_EQ(Board::close(fd), 0);
  ::unlink(file.c_str());

  EXPECT_EQ(open("/dev/not-on-this-board"), -1);
  EXPECT_EQ(errno, ENOENT);
  // A model's name is no path; a path outside the root still names the device.
  EXPECT_EQ(Board::open("probe", O_RDWR), -1);
  EXPECT_EQ(errno, ENOENT);
  const int bare = Board::open(ProbePath, O_RDWR);
  EXPECT_GE(bare, 0);
  EXPECT_EQ(openCount(), 1u);
  Board::close(bare);
  EXPECT_EQ(Board::open(nullptr, O_RDWR), -1);
  EXPECT_EQ(errno, EFAULT);
}

TEST_F(SimDevice, OpenFailsCleanlyWhenDescriptorsRunOut) {
  rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  std::vector<int> held;
  rlimit low = saved;
  low.rlim_cur = 64;
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
  int fd;
  while ((fd = open(ProbePath)) >= 0) held.push_back(fd);
  const int err = errno;
  ::setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(err, EMFILE);
  EXPECT_EQ(openCount(), held.size());
  for (int h : held) Board::close(h);
  EXPECT_EQ(openCount(), 0u);
  fd = open(ProbePath);
  EXPECT_GE(fd, 0);
  Board::close(fd);
}

TEST_F(SimDevice, AForkedChildFindsTheBoardUnlocked) {
  const int fd = open(ProbePath);
  ASSERT_GE(fd, 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    uint8_t word[4] = {0, 0, 0, 1};
    const bool ok = Board::ioctl(fd, ProbeRequest, word) == 0 && Board::Sim::control("devices").back() == "OK";
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  // The child's copy went with it; the parent's is still open.
  EXPECT_EQ(openCount(), 1u);
  Board::close(fd);
}
