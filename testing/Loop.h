#pragma once
// The global main loop under test: run until a condition holds (bounded in
// real time), a loop clock pinned by the test and moved on by hand, and a
// stepped clock on which a stand-in poll() lets the waits pass at once.

#include <poll.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "foundation/eventloop/Clock.h"
#include "foundation/eventloop/Dpc.h"
#include "foundation/eventloop/Multiplexer.h"
#include "foundation/eventloop/Timer.h"

namespace Testing {

// The bound of a wait for what must happen. Such a wait ends as soon as it
// happens, so the bound only says when a test gives up: generous enough for a
// loaded machine that runs the test, and the programs it starts, under an emulator.
constexpr int PatienceMs = 20000;

// Runs the main loop until done() holds or limitMs of real time has passed;
// returns whether done() held.
inline bool runUntil(const std::function<bool()>& done, int limitMs = 3000) {
  struct Until {
    std::function<bool()> done;
    std::chrono::steady_clock::time_point deadline;
    bool met = false;
    unsigned checks = 0;
    Dpc check;
    Timer tick;
    // The deadline counts once the loop has polled: a test held up past a
    // short limit before the first pass still looks at what came.
    void onCheck() {
      met = done();
      if (met || (++checks > 1 && std::chrono::steady_clock::now() > deadline)) multiplexer.terminate();
    }
    // Bounds every poll() so the check runs even when nothing happens.
    void onTick() { tick.set(5, &Until::onTick, this); }
  } until;
  until.done = done;
  until.deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  until.check.Bind(&until, &Until::onCheck);
  until.check.Activate();
  until.onTick();
  multiplexer.run(false, true);
  return until.met;
}

// Runs the loop for a while of real time, for checks that something does not happen.
inline void runFor(int ms) {
  runUntil([] { return false; }, ms);
}

// Sets the loop clock to ms milliseconds (the 32-bit value it will read).
inline void pin(uint64_t ms) {
  Mux::g_tv_time.tv_sec = int32_t(ms / 1000);
  Mux::g_tv_time.tv_usec = int32_t(ms % 1000 * 1000);
  if (Mux::g_tv_time.tv_sec == 0 && Mux::g_tv_time.tv_usec == 0) Mux::g_tv_time.tv_usec = 1;
}

inline uint64_t pinned() { return uint64_t(Mux::g_tv_time.tv_sec) * 1000 + uint64_t(Mux::g_tv_time.tv_usec) / 1000; }

// Pins the loop clock for the life of the object, at a fixed time or, with
// `present`, at the present (so timers armed before keep their places);
// advance() moves it and fires what fell due.
class PinnedClock {
public:
  enum Start { Fixed, Present };
  explicit PinnedClock(Start start = Fixed) {
    if (start == Present) {
      Mux::mux_settimeofday();
    } else {
      pin(100000000);
    }
  }
  ~PinnedClock() { Mux::mux_cleartimeofday(); }
  PinnedClock(const PinnedClock&) = delete;
  PinnedClock& operator=(const PinnedClock&) = delete;
  void advance(unsigned ms) {
    pin(pinned() + ms);
    multiplexer.timers_schedule();
  }
};

// The waits the stepped poll was asked for, in order.
inline std::vector<int>& waits() {
  static std::vector<int> w;
  return w;
}

// Looks at the descriptors without blocking; when none is ready the whole
// wait passes on the pinned clock.
inline int steppedPoll(pollfd* fds, nfds_t count, int timeout) {
  waits().push_back(timeout);
  int ready = count ? ::poll(fds, count, 0) : 0;
  if (ready == 0 && timeout > 0) pin(pinned() + uint64_t(timeout));
  return ready;
}

// Loop time that passes only when the loop would wait, for the life of the object.
class SteppedClock {
public:
  explicit SteppedClock(uint64_t startMs = 100000000) {
    pin(startMs);
    waits().clear();
    multiplexer.set_poll(steppedPoll);
  }
  ~SteppedClock() {
    multiplexer.set_poll(nullptr);
    Mux::mux_cleartimeofday();
  }
  SteppedClock(const SteppedClock&) = delete;
  SteppedClock& operator=(const SteppedClock&) = delete;
};

}  // namespace Testing
