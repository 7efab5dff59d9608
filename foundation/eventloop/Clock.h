#pragma once
// The event loop's clock. Loop times come from the monotonic clock, so a
// wall-clock step neither fires every timer at once nor holds them back.
//
// g_tv_time is the cached time: while either field is non-zero every loop
// clock reading returns it. The loop fills it once per pass when asked to;
// tests set it directly to pin time instead of sleeping.

#include <cstdint>

#include "foundation/os/TimeVal.h"

namespace Mux {

extern timeval g_tv_time;

// The loop clock: the cached time when set, else the monotonic clock. Returns 0.
int mux_gettimeofday(timeval& tv);
// Stores the monotonic clock into the cache.
void mux_settimeofday();
// Empties the cache, so loop clock readings are live again.
void mux_cleartimeofday();

// Loop milliseconds, wrapping every ~49.7 days: compare by signed difference.
uint32_t milliseconds();
// Tests only: shifts milliseconds() by `ms`, so that timers can be run
// across the 32-bit wrap on any clock, pinned or live. 0 at start.
void set_milliseconds_offset(uint32_t ms);
// Loop microseconds, wrapping every ~71.6 minutes; for durations only.
uint32_t microseconds();
int32_t seconds();

// The wall clock, for log prefixes and file names. Returns 0.
int gettimeval(timeval& tv);

}  // namespace Mux
