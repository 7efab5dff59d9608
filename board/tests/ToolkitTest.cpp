// The models' toolkit, once for every model: request dispatch by number and
// form, the journal, state kept per open file, paths by pattern, and the
// control commands with their argument checks and common commands.

#include "board/Board.h"
#include "board/Paths.h"
#include "board/sim/DevicePath.h"
#include "board/sim/RequestJournal.h"
#include "board/sim/Sim.h"
#include "board/tests/Probe.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

using Board::Sim::with;
using Lines = std::vector<std::string>;

namespace {

const char* const ProbePath = "/dev/test-probe";
const char* const OtherPath = "/dev/test-other";

int openDevice(const std::string& path, int flags = O_RDWR | O_NONBLOCK) {
  return Board::open(Board::Paths::path(path.c_str()).c_str(), flags);
}

int word(int fd, uint32_t w, uint32_t request = ProbeRequest) {
  uint8_t record[4];
  Board::RecordWriter(record, sizeof record).put(ProbeWord, w);
  const int r = Board::ioctl(fd, request, record);
  return r < 0 ? -errno : int(Board::RecordReader(record, sizeof record).get(ProbeWord));
}

Lines journal(const char* path = ProbePath) {
  return with<Probe>(path, [](Probe& p) { return p.journal().texts(); });
}

class Toolkit : public ::testing::Test {
protected:
  void SetUp() override {
    Board::Sim::install(std::make_unique<Probe>("probe", ProbePath, true));
    Board::Sim::install(std::make_unique<Probe>("other", OtherPath, false));
    Board::Sim::install(std::make_unique<Probe>("unit", "/dev/test-unit%d/ctl", true));
    Board::Sim::reset();
  }
};

}  // namespace

TEST_F(Toolkit, RequestsAreDispatchedByDeviceNumberAndFormAndJournaledByName) {
  const int probe = openDevice(ProbePath);
  const int other = openDevice(OtherPath);
  ASSERT_GE(probe, 0);
  ASSERT_GE(other, 0);
  // The same number on two devices: one writes its answer back, the other only takes the word.
  EXPECT_EQ(word(probe, 41), 42);
  EXPECT_EQ(word(other, 41), 41);
  EXPECT_EQ(with<Probe>(OtherPath, [](Probe& p) { return p.last; }), 41u);
  EXPECT_EQ(word(probe, 0), -EINVAL);
  // The table gives the record's size where the number does not.
  EXPECT_EQ(word(probe, 7, ProbeRawNumber), 8);
  EXPECT_EQ(Board::ioctlValue(probe, ProbeValue, 0x12345), 7);
  EXPECT_EQ(with<Probe>(ProbePath, [](Probe& p) { return p.lastValue; }), 0x12345u);
  // A request in the wrong form, or one the device does not know.
  EXPECT_EQ(word(probe, 1, ProbeValue), -ENOTTY);
  EXPECT_EQ(Board::ioctlValue(probe, ProbeRequest, 1), -1);
  EXPECT_EQ(errno, ENOTTY);
  EXPECT_EQ(word(probe, 1, Board::Request::iow('C', 9, 4)), -ENOTTY);
  EXPECT_EQ(Board::ioctl(probe, ProbeRequest, nullptr), -1);
  EXPECT_EQ(errno, EFAULT);
  // Only what a handler journaled is in the journal, under the request's name.
  EXPECT_EQ(journal(), (Lines{"word 41", "raw-number 7", "value"}));
  const Lines lines = Board::Sim::control("probe journal");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].substr(lines[0].find(' ')), " word 41");
  EXPECT_EQ(Board::Sim::control("probe clear"), Lines{"OK"});
  EXPECT_EQ(Board::Sim::control("probe journal"), Lines{"OK"});
  word(probe, 3);
  Board::Sim::reset();
  EXPECT_TRUE(journal().empty());
  Board::close(probe);
  Board::close(other);
}

TEST_F(Toolkit, TheJournalKeepsTheLatestRequestsAndCountsTheDropped) {
  const int fd = openDevice(ProbePath);
  for (uint32_t i = 1; i <= Board::Sim::RequestJournal::Limit + 5; ++i) ASSERT_EQ(word(fd, i), int(i + 1));
  const Lines j = journal();
  ASSERT_EQ(j.size(), Board::Sim::RequestJournal::Limit);
  EXPECT_EQ(j.front(), "word 6");
  const Lines lines = Board::Sim::control("probe journal");
  EXPECT_EQ(lines.front(), "dropped 5");
  EXPECT_EQ(lines.size(), Board::Sim::RequestJournal::Limit + 2);
  Board::close(fd);
}

TEST_F(Toolkit, StateKeptPerOpenFileGoesWithItsLastDescriptorOrAtReset) {
  const int a = openDevice(ProbePath);
  const int b = openDevice(ProbePath);
  word(a, 1);
  Board::ioctlValue(a, ProbeValue, 0);
  word(b, 1);
  auto counts = [] {
    return with<Probe>(ProbePath, [](Probe& p) {
      std::vector<unsigned> all;
      for (const auto& s : p.requestsPerFile.all()) all.push_back(s.second);
      return all;
    });
  };
  EXPECT_EQ(counts(), (std::vector<unsigned>{2, 1}));
  const int copy = ::dup(a);
  Board::close(a);
  EXPECT_EQ(counts().size(), 2u);
  Board::close(copy);
  EXPECT_EQ(counts(), std::vector<unsigned>{1});
  EXPECT_EQ(with<Probe>(ProbePath, [](Probe& p) { return p.released; }), std::vector<unsigned>{2});
  // Power-on forgets every state without releasing it.
  Board::Sim::reset();
  EXPECT_TRUE(counts().empty());
  Board::close(b);
  EXPECT_EQ(with<Probe>(ProbePath, [](Probe& p) { return p.released; }), std::vector<unsigned>{2});
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
    EXPECT_EQ(matched, k.number != -2) << k.path;
    EXPECT_EQ(matched ? number : -2, k.number) << k.path;
  }
  int number = 0;
  EXPECT_TRUE(Board::Sim::DevicePath(ProbePath).matches(ProbePath, number));
  EXPECT_EQ(number, -1);
  EXPECT_FALSE(Board::Sim::DevicePath("").matches("", number));

  const int fd = openDevice("/dev/test-unit12/ctl");
  ASSERT_GE(fd, 0);
  word(fd, 5);
  EXPECT_EQ(with<Probe>("unit", [](Probe& p) { return p.lastPathNumber; }), 12);
  EXPECT_EQ(openDevice("/dev/test-unit012/ctl"), -1);
  EXPECT_EQ(errno, ENOENT);
  const Lines devices = Board::Sim::control("devices");
  EXPECT_NE(std::find(devices.begin(), devices.end(), "/dev/test-unit%d/ctl unit present open=1"), devices.end());
  Board::close(fd);
}

TEST_F(Toolkit, CommandsCheckTheirArgumentsWithUniformReplies) {
  const struct {
    const char* line;
    Lines reply;
  } cases[] = {
      {"probe sum 1 2", {"1003", "OK"}},
      {"probe sum -3 0x1F 5 6", {"39", "OK"}},
      {"probe sum -0xA 0XFF 100", {"345", "OK"}},
      {"probe sum 1", {"ERR usage: probe sum A B [C [D]]"}},
      {"probe sum 1 2 3 4 5", {"ERR usage: probe sum A B [C [D]]"}},
      {"probe sum 11 2", {"ERR bad a: 11"}},
      {"probe sum +1 2", {"ERR bad a: +1"}},
      {"probe sum --1 2", {"ERR bad a: --1"}},
      {"probe sum 1 -2", {"ERR bad b: -2"}},
      {"probe sum 1 0x100", {"ERR bad b: 0x100"}},
      {"probe sum 1 2x", {"ERR bad b: 2x"}},
      {"probe sum 1 0x", {"ERR bad b: 0x"}},
      {"probe sum 1 99999999999999999999", {"ERR bad b: 99999999999999999999"}},
      {"probe sum x y", {"ERR bad a: x"}},  // the first bad word is named
      {"probe sum 1 2 101", {"ERR bad c: 101"}},
      {"probe bytes 0a0B ff", {"3", "OK"}},
      {"probe bytes abc", {"ERR bad hex: abc"}},
      {"probe bytes 0g", {"ERR bad hex: 0g"}},
      {"probe bytes", {"ERR usage: probe bytes HEX ..."}},
      {"probe last extra", {"ERR usage: probe last"}},
      {"probe bark", {"ERR unknown command: probe bark"}},
      {"probe", {"ERR unknown command: probe "}},
      {"probe pair third 1", {"ERR unknown command: probe pair third"}},
      {"probe pair first", {"ERR usage: probe pair first N"}},
      {"probe pair second", {"0", "OK"}},
      {"probe raw zz", {"ERR bad hex: zz"}},
      {"probe raw 0102", {"reached 0", "OK"}},
      {"probe hangup", {"reached 0", "OK"}},
  };
  for (const auto& k : cases) EXPECT_EQ(Board::Sim::control(k.line), k.reply) << k.line;
  const Lines help = Board::Sim::control("help");
  for (const char* line : {"probe sum A B [C [D]]", "probe pair first N", "probe journal", "probe raw HEX"}) {
    EXPECT_NE(std::find(help.begin(), help.end(), line), help.end()) << line;
  }
}

TEST_F(Toolkit, RawRecordsAndTheHangUpReachEveryOpenDescriptor) {
  const int a = openDevice(ProbePath);
  const int b = openDevice(ProbePath, O_RDONLY);
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
  const int c = openDevice(ProbePath);
  EXPECT_EQ(Board::Sim::control("probe raw 01"), (Lines{"reached 1", "OK"}));
  Board::close(c);
}
