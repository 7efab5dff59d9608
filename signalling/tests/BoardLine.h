#pragma once
// A frame line through the simulated board for the link-layer tests: two
// HDLC channels on the multichannel controller, cabled to each other inside
// the board. What a link writes on one channel the other reads through the
// main loop, so Q.921 and SS7 entities run back to back exactly as they do
// in-process on the tests' channel pairs. The loop clock is pinned: time
// passes only when the test says so, in steps with the loop run between.

#include <gtest/gtest.h>

#include "board/sim/Sim.h"
#include "signalling/Hdlc.h"
#include "testing/Loop.h"

namespace linktest {

class BoardLine {
public:
  // Both channels in `mode`, on switch channels 1 and 2.
  explicit BoardLine(int32_t mode) {
    Board::Sim::reset();
    int32_t tdm = 1;
    for (HDLC* channel : {&a, &b}) {
      channel->params.mode = mode;
      channel->params.tdm = tdm++;
      EXPECT_TRUE(channel->activate());
    }
    EXPECT_EQ(Board::Sim::control("mcc cable 256 257").back(), "OK");
  }

  // Runs the loop until the line has been quiet for a few passes.
  void settle() { Testing::runFor(10); }
  // Lets time pass in steps, the frames of each step crossing before the next.
  void elapse(unsigned ms, unsigned step = 100) {
    for (unsigned done = 0; done < ms; done += step) {
      clock.advance(step < ms - done ? step : ms - done);
      settle();
    }
  }

  Testing::PinnedClock clock;
  HDLC a;
  HDLC b;
};

}  // namespace linktest
