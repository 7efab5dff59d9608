#pragma once
// Runs the global loop until a condition holds or a time limit passes.

#include <gtest/gtest.h>
#include <poll.h>

#include <functional>
#include <iostream>
#include <sstream>

#include "foundation/eventloop/Clock.h"
#include "foundation/eventloop/Dpc.h"
#include "foundation/eventloop/Multiplexer.h"
#include "foundation/eventloop/Timer.h"

namespace childtest {

class LoopRunner {
 public:
  // True when the condition held before the limit.
  bool run(std::function<bool()> done, unsigned limitMs = 5000) {
    mDone = std::move(done);
    mTimedOut = false;
    mCheck.Bind(this, &LoopRunner::check);
    mCheck.Activate();
    mLimit.set(limitMs, &LoopRunner::expire, this);
    multiplexer.run(false, true);
    mCheck.Deactivate();
    mLimit.reset();
    return !mTimedOut;
  }

 private:
  void check() {
    if (mDone()) multiplexer.terminate();
  }
  void expire(Timer*) {
    mTimedOut = true;
    multiplexer.terminate();
  }

  std::function<bool()> mDone;
  bool mTimedOut = false;
  Dpc mCheck;
  Timer mLimit;
};

// Loop time that passes only when the loop would wait: poll() looks at the
// descriptors without blocking and the pinned clock jumps by the wait.
class VirtualTime {
 public:
  VirtualTime() {
    Mux::g_tv_time = {500000, 1};
    multiplexer.set_poll(&VirtualTime::poll);
  }
  ~VirtualTime() {
    multiplexer.set_poll(nullptr);
    Mux::mux_cleartimeofday();
  }

 private:
  static int poll(pollfd* fds, nfds_t count, int timeout) {
    const int ready = ::poll(fds, count, 0);
    if (ready == 0 && timeout > 0) {
      const uint64_t us = uint64_t(Mux::g_tv_time.tv_sec) * 1000000 + uint64_t(Mux::g_tv_time.tv_usec) +
                          uint64_t(timeout) * 1000;
      Mux::g_tv_time = {int32_t(us / 1000000), int32_t(us % 1000000)};
    }
    return ready;
  }
};

// Collects the log stream.
class ClogCapture {
 public:
  ClogCapture() : mOld(std::clog.rdbuf(mText.rdbuf())) {}
  ~ClogCapture() { std::clog.rdbuf(mOld); }
  std::string text() const { return mText.str(); }

 private:
  std::ostringstream mText;
  std::streambuf* mOld;
};

}  // namespace childtest
