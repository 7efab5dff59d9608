#include "foundation/eventloop/Timer.h"

#include "foundation/eventloop/Clock.h"
#include "foundation/eventloop/Multiplexer.h"

TimerEvent::~TimerEvent() { reset(); }

void TimerEvent::schedule(unsigned ms) {
  deadline_ = Mux::milliseconds() + ms;
  multiplexer.set(this);
}

void TimerEvent::reset() { multiplexer.reset(this); }

bool TimerEvent::armed() const { return multiplexer.armed(this); }
