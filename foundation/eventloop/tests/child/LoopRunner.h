#pragma once
// Runs the global loop until a condition holds or a time limit passes.

#include <functional>
#include <iostream>
#include <sstream>

#include "foundation/eventloop/Dpc.h"
#include "foundation/eventloop/Timer.h"
#include "foundation/eventloop/tests/LoopTestSupport.h"

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

// Loop time that passes only when the loop would wait.
struct VirtualTime {
  VirtualTime() {
    looptest::pin(500000000);
    multiplexer.set_poll(looptest::virtualPoll);
  }
  ~VirtualTime() {
    multiplexer.set_poll(nullptr);
    Mux::mux_cleartimeofday();
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
