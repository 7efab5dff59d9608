// The models' toolkit, once for every model: request dispatch by number and
// form, the journal, state kept per open file, paths by pattern, and the
// control commands with their argument checks and common commands.

#include "board/sim/DevicePath.h"
#include "board/sim/RequestJournal.h"
#include "board/tests/Probe.h"
#include "testing/Board.h"
#include "testing/Golden.h"

#include <poll.h>
#include <unistd.h>

namespace {

int word(int fd, uint32_t w, uint32_t request = ProbeRequest) {
  uint8_t record[4];
  Board::RecordWriter(record, sizeof record).put(ProbeWord, w);
  const int r = Board::ioctl(fd, request, record);
  return r < 0 ? -errno : int(Board::RecordReader(record, sizeof record).get(ProbeWord));
}

class Toolkit : public ProbeBoard {
protected:
  static Lines journal() {
    return probe([](Probe& p) { return p.journal().texts(); });
  }
};

}  // namespace

TEST_F(Toolkit, RequestsAreDispatchedByDeviceNumberAndFormAndJournaledByName) {
  const int fd = open(ProbePath);
  const int other = open(OtherPath);
  ASSERT_GE(fd, 0);
  ASSERT_GE(other, 0);
  // The same number on two devices: one writes its answer back, the other only takes the word.
  EXPECT_EQ(word(fd, 41), 42);
  EXPECT_EQ(word(other, 41), 41);
  EXPECT_EQ(probe([](Probe& p) { return p.last; }, OtherPath), 41u);
  EXPECT_EQ(word(fd, 0), -EINVAL);
  // The table gives the record's size where the number does not.
  EXPECT_EQ(word(fd, 7, ProbeRawNumber), 8);
  EXPECT_EQ(Board::ioctlValue(fd, ProbeValue, 0x12345), 7);
  EXPECT_EQ(probe([](Probe& p) { return p.lastValue; }), 0x12345u);
  // A request in the wrong form, or one the device does not know.
  EXPECT_EQ(word(fd, 1, ProbeValue), -ENOTTY);
  EXPECT_EQ(Board::ioctlValue(fd, ProbeRequest, 1), -1);
  EXPECT_EQ(errno, ENOTTY);
  EXPECT_EQ(word(fd, 1, Board::Request::iow('C', 9, 4)), -ENOTTY);
  EXPECT_EQ(Board::ioctl(fd, ProbeRequest, nullptr), -1);
  EXPECT_EQ(errno, EFAULT);
  // Only what a handler journaled is in the journal, under the request's name.
  EXPECT_EQ(journal(), (Lines{"word 41", "raw-number 7", "value"}));
  EXPECT_EQ(Testing::journal("probe"), (Lines{"word 41", "raw-number 7", "value"}));
  EXPECT_EQ(Board::Sim::control("probe journal"), Lines{"OK"});
  word(fd, 3);
  Board::Sim::reset();
  EXPECT_TRUE(journal().empty());

  // The latest requests are kept, the older ones counted.
  for (uint32_t i = 1; i <= Board::Sim::RequestJournal::Limit + 5; ++i) ASSERT_EQ(word(fd, i), int(i + 1));
  const Lines lines = Testing::control("probe journal");
  ASSERT_EQ(lines.size(), Board::Sim::RequestJournal::Limit + 1);
  EXPECT_EQ(lines[0], "dropped 5");
  EXPECT_EQ(lines[1].substr(lines[1].find(' ')), " word 6");
  Board::close(fd);
  Board::close(other);
}

TEST_F(Toolkit, StateKeptPerOpenFileGoesWithItsLastDescriptorOrAtReset) {
  const int a = open(ProbePath);
  const int b = open(ProbePath);
  word(a, 1);
  Board::ioctlValue(a, ProbeValue, 0);
  word(b, 1);
  auto counts = [] {
    return probe([](Probe& p) {
      std::vector<unsigned> all;
      for (const auto& s : p.requestsPerFile.all()) all.push_back(s.second);
      return all;
    });
  };
  auto released = [] { return probe([](Probe& p) { return p.released; }); };
  EXPECT_EQ(counts(), (std::vector<unsigned>{2, 1}));
  const int copy = ::dup(a);
  Board::close(a);
  EXPECT_EQ(counts().size(), 2u);
  Board::close(copy);
  EXPECT_EQ(counts(), std::vector<unsigned>{1});
  EXPECT_EQ(released(), std::vector<unsigned>{2});
  // Power-on forgets every state without releasing it.
  Board::Sim::reset();
  EXPECT_TRUE(counts().empty());
  Board::close(b);
  EXPECT_EQ(released(), std::vector<unsigned>{2});
}

TEST_F(Toolkit, APathPatternOpensItsDeviceWithTheNumberItCarries) {
  const struct {
    const char* path;
    int number;  // -2: no match
  } cases[] = {
      {"/dev/test-unit0/ctl", 0},   {"/dev/test-unit17/ctl", 17}, {"/dev/test-unit2147483647/ctl", 2147483647},
      {"/dev/test-unit/ctl", -2},   {"/dev/test-unit01/ctl", -2}, {"/dev/test-unit-1/ctl", -2},
      {"/dev/test-unit+1/ctl", -2}, {"/dev/test-unit1x/ctl", -2}, {"/dev/test-unit2147483648/ctl", -2},
      {"/dev/test-unit1/ctlx", -2}, {"/dev/test-unit1", -2},      {"/dev/test-unit%d/ctl", -2},
  };
  const Board::Sim::DevicePath pattern("/dev/test-unit%d/ctl");
  for (const auto& k : cases) {
    int number = -2;
    const bool matched = pattern.matches(k.path, number);
    EXPECT_EQ(matched ? number : -2, k.number) << k.path;
  }
  int number = 0;
  EXPECT_TRUE(Board::Sim::DevicePath(ProbePath).matches(ProbePath, number));
  EXPECT_EQ(number, -1);
  EXPECT_FALSE(Board::Sim::DevicePath("").matches("", number));

  const int fd = open("/dev/test-unit12/ctl");
  ASSERT_GE(fd, 0);
  word(fd, 5);
  EXPECT_EQ(probe([](Probe& p) { return p.lastPathNumber; }, "unit"), 12);
  EXPECT_EQ(open("/dev/test-unit012/ctl"), -1);
  EXPECT_EQ(errno, ENOENT);
  const Lines devices = Board::Sim::control("devices");
  EXPECT_NE(std::find(devices.begin(), devices.end(), "/dev/test-unit%d/ctl unit present open=1"), devices.end());
  Board::close(fd);
}

TEST_F(Toolkit, CommandsCheckTheirArgumentsWithUniformReplies) {
  EXPECT_TRUE(Testing::matchesScript("board/tests/golden/control-lines.txt", Testing::reply));
}

TEST_F(Toolkit, RawRecordsAndTheHangUpReachEveryOpenDescriptor) {
  const int a = open(ProbePath);
  const int b = open(ProbePath, O_RDONLY);
  EXPECT_EQ(Board::Sim::control("probe raw 0a0B0c"), (Lines{"reached 2", "OK"}));
  uint8_t buf[8];
  ASSERT_EQ(Board::read(a, buf, sizeof buf), 3);
  EXPECT_EQ(buf[1], 0x0B);
  EXPECT_EQ(Board::Sim::control("probe hangup"), (Lines{"reached 2", "OK"}));
  pollfd p{b, POLLIN, 0};
  ASSERT_EQ(Board::poll(&p, 1, 0), 1);
  EXPECT_TRUE(p.revents & POLLHUP);
  EXPECT_EQ(Board::read(b, buf, sizeof buf), 3);  // what was queued before still comes
  EXPECT_EQ(Board::read(b, buf, sizeof buf), 0);
  Board::close(a);
  Board::close(b);
  // A new open works as usual.
  const int c = open(ProbePath);
  EXPECT_EQ(Board::Sim::control("probe raw 01"), (Lines{"reached 1", "OK"}));
  Board::close(c);
}
