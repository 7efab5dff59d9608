#include "board/Board.h"
#include "board/Paths.h"
#include "board/dev/Watchdog.h"
#include "board/sim/Sim.h"
#include "board/sim/Watchdog.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <vector>

using Lines = std::vector<std::string>;

TEST(WatchdogModel, JournalsEveryWriteWithItsMonotonicTimeAndOddBytesEscaped) {
  Board::Sim::reset();
  const int fd = Board::open(Board::Paths::path(Board::Dev::Watchdog::Path).c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(Board::write(fd, "START", 5), 5);
  ASSERT_EQ(Board::write(fd, "P\0N\n\\", 5), 5);
  ASSERT_EQ(Board::write(fd, "STOP", 4), 4);
  Board::close(fd);
  const auto j =
      Board::Sim::with<Board::Sim::Watchdog>("watchdog", [](Board::Sim::Watchdog& w) { return w.journal().entries(); });
  ASSERT_EQ(j.size(), 3u);
  EXPECT_LE(j[0].ms, j[1].ms);
  EXPECT_LE(j[1].ms, j[2].ms);
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  EXPECT_LE(j[2].ms, uint64_t(now.tv_sec) * 1000 + uint64_t(now.tv_nsec) / 1000000);
  EXPECT_EQ(Board::Sim::control("watchdog journal"),
            (Lines{std::to_string(j[0].ms) + " START", std::to_string(j[1].ms) + " P\\x00N\\x0A\\x5C",
                   std::to_string(j[2].ms) + " STOP", "OK"}));
}
