#include "board/Board.h"
#include "board/Paths.h"
#include "board/sim/Sim.h"
#include "board/sim/Watchdog.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <vector>

using Board::Sim::Watchdog;
using Lines = std::vector<std::string>;

namespace {

class WatchdogModel : public ::testing::Test {
protected:
  void SetUp() override {
    Board::Sim::reset();
    fd = Board::open(Board::Paths::path(Board::Paths::Watchdog).c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
  }
  void TearDown() override { Board::close(fd); }
  std::deque<Watchdog::Entry> journal() {
    return Board::Sim::with<Watchdog>("watchdog", [](Watchdog& w) { return w.journal(); });
  }
  int fd = -1;
};

}  // namespace

TEST_F(WatchdogModel, JournalsEveryWriteWithItsMonotonicTime) {
  ASSERT_EQ(Board::write(fd, "START", 5), 5);
  ASSERT_EQ(Board::write(fd, "PING", 4), 4);
  ASSERT_EQ(Board::write(fd, "STOP", 4), 4);
  const auto j = journal();
  ASSERT_EQ(j.size(), 3u);
  EXPECT_EQ(j[0].text, "START");
  EXPECT_EQ(j[1].text, "PING");
  EXPECT_EQ(j[2].text, "STOP");
  EXPECT_LE(j[0].ms, j[1].ms);
  EXPECT_LE(j[1].ms, j[2].ms);
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  EXPECT_LE(j[2].ms, uint64_t(now.tv_sec) * 1000 + uint64_t(now.tv_nsec) / 1000000);

  const Lines lines = Board::Sim::control("watchdog journal");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], std::to_string(j[0].ms) + " START");
  EXPECT_EQ(lines[2], std::to_string(j[2].ms) + " STOP");
  EXPECT_EQ(lines[3], "OK");
}

TEST_F(WatchdogModel, OddBytesAreShownEscaped) {
  ASSERT_EQ(Board::write(fd, "P\0N\n\\", 5), 5);
  const Lines lines = Board::Sim::control("watchdog journal");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(lines[0].find(' ') + 1), "P\\x00N\\x0A\\x5C");
}

TEST_F(WatchdogModel, TheJournalKeepsTheLatestWritesOnly) {
  for (size_t i = 0; i < Watchdog::JournalLimit + 5; ++i) {
    const std::string text = "PING" + std::to_string(i);
    ASSERT_EQ(Board::write(fd, text.data(), text.size()), ssize_t(text.size()));
  }
  const auto j = journal();
  ASSERT_EQ(j.size(), Watchdog::JournalLimit);
  EXPECT_EQ(j.front().text, "PING5");
  EXPECT_EQ(j.back().text, "PING" + std::to_string(Watchdog::JournalLimit + 4));
  const Lines lines = Board::Sim::control("watchdog journal");
  EXPECT_EQ(lines.front(), "dropped 5");
  EXPECT_EQ(lines.size(), Watchdog::JournalLimit + 2);

  EXPECT_EQ(Board::Sim::control("watchdog clear"), Lines{"OK"});
  EXPECT_TRUE(journal().empty());
  EXPECT_EQ(Board::Sim::control("watchdog journal"), Lines{"OK"});
}
