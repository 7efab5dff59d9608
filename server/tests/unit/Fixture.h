#pragma once
// The names the hardware tests know the in-process controller server and
// the test helpers by; everything lives in testing/.

#include <iostream>

#include "testing/Capture.h"
#include "testing/CtrlServerFixture.h"
#include "testing/Frames.h"
#include "testing/Loop.h"

namespace fixture {

using Testing::Capture;
using Testing::Controller;
using Testing::count;
using Testing::Probe;

inline Probe& first() { return Testing::firstProbe(); }
inline Probe& second() { return Testing::secondProbe(); }
inline void bindOnce() { Testing::bindProbesOnce(); }
inline std::string header() { return Testing::ctrlHeader(); }
inline bool run_until(const std::function<bool()>& done, int limitMs = 3000) { return Testing::runUntil(done, limitMs); }
inline void run_for(int ms) { Testing::runFor(ms); }

class ServerTest : public Testing::CtrlServerTest {};

class PinnedClock : public Testing::PinnedClock {
public:
  PinnedClock() : Testing::PinnedClock(Present) {}
};

class Logs : public Testing::Capture {
public:
  Logs() : Capture({&std::cerr, &std::clog}) {}
};

}  // namespace fixture

namespace frames {

using Testing::bytes;
using Testing::hex;

}  // namespace frames
