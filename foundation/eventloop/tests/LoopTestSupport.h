#pragma once
// Virtual time for loop tests: the loop clock is pinned through its cached
// time, and a stand-in poll() advances it by the wait it is given instead of
// blocking. A stand-in watchdog device records each word with its time.

#include <gtest/gtest.h>
#include <poll.h>

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/eventloop/Clock.h"
#include "foundation/eventloop/Multiplexer.h"

namespace looptest {

// Sets the loop clock to ms milliseconds (the 32-bit value it will read).
inline void pin(uint64_t ms) {
  Mux::g_tv_time.tv_sec = int32_t(ms / 1000);
  Mux::g_tv_time.tv_usec = int32_t(ms % 1000 * 1000);
  if (Mux::g_tv_time.tv_sec == 0 && Mux::g_tv_time.tv_usec == 0) Mux::g_tv_time.tv_usec = 1;
}

inline uint64_t pinned() { return uint64_t(Mux::g_tv_time.tv_sec) * 1000 + uint64_t(Mux::g_tv_time.tv_usec) / 1000; }

inline void advance(uint64_t ms) { pin(pinned() + ms); }

// The waits poll() was asked for, in order.
inline std::vector<int>& waits() {
  static std::vector<int> w;
  return w;
}

// Looks at the descriptors without blocking; when none is ready the full
// wait passes on the pinned clock.
inline int virtualPoll(pollfd* fds, nfds_t count, int timeout) {
  waits().push_back(timeout);
  int ready = count ? ::poll(fds, count, 0) : 0;
  if (ready == 0 && timeout > 0) advance(uint64_t(timeout));
  return ready;
}

class FakeWatchdog : public Watchdog::Device {
public:
  struct Word {
    std::string text;
    uint32_t at;
  };
  int open() override {
    if (failOpen) {
      errno = ENOENT;
      return -1;
    }
    return 1000;
  }
  ssize_t write(int, const void* data, size_t size) override {
    std::string word(static_cast<const char*>(data), size);
    if (word == refuse) {
      errno = EIO;
      return -1;
    }
    journal.push_back({word, Mux::milliseconds()});
    return ssize_t(size);
  }
  int close(int) override {
    closed = true;
    return 0;
  }
  std::string words() const {
    std::string all;
    for (const Word& w : journal) all += (all.empty() ? "" : " ") + w.text;
    return all;
  }

  bool failOpen = false;
  std::string refuse;
  bool closed = false;
  std::vector<Word> journal;
};

// Leaves the global loop as the next test expects it.
class LoopTest : public ::testing::Test {
protected:
  void SetUp() override {
    pin(100000000);
    waits().clear();
    multiplexer.set_poll(virtualPoll);
    multiplexer.watchdog().use(&watchdog);
  }
  void TearDown() override {
    multiplexer.set_poll(nullptr);
    multiplexer.watchdog().use(nullptr);
    Mux::mux_cleartimeofday();
    EXPECT_EQ(0u, multiplexer.timer_count());
  }

  FakeWatchdog watchdog;
};

// A pipe whose read end is readable as long as the test wants.
class Pipe {
public:
  Pipe() {
    int fds[2];
    if (::pipe(fds) == 0) {
      read = Fd(fds[0]);
      write = Fd(fds[1]);
    }
  }
  void fill() { EXPECT_EQ(1, ::write(write.get(), "x", 1)); }
  Fd read;
  Fd write;
};

}  // namespace looptest
