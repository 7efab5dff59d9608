#pragma once
// Runs the global loop until a condition holds or a time limit passes.

#include <functional>

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

}  // namespace childtest
