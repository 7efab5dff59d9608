#pragma once
// Loop tests run on the stepped clock of testing/Loop.h; a stand-in
// watchdog device records each word with its time.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/eventloop/Clock.h"
#include "foundation/eventloop/Multiplexer.h"
#include "testing/Loop.h"

namespace looptest {

using Testing::pin;
using Testing::pinned;
using Testing::waits;

inline void advance(uint64_t ms) { pin(pinned() + ms); }

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
    multiplexer.set_poll(Testing::steppedPoll);
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
