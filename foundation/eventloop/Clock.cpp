#include "foundation/eventloop/Clock.h"

#include <sys/time.h>
#include <time.h>

namespace Mux {

timeval g_tv_time = {0, 0};

namespace {
uint32_t millisecondsOffset = 0;

timeval monotonic() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return {int32_t(ts.tv_sec), int32_t(ts.tv_nsec / 1000)};
}

int64_t usec(const timeval& tv) { return int64_t(tv.tv_sec) * 1000000 + tv.tv_usec; }
}  // namespace

int mux_gettimeofday(timeval& tv) {
  tv = (g_tv_time.tv_sec || g_tv_time.tv_usec) ? g_tv_time : monotonic();
  return 0;
}

void mux_settimeofday() { g_tv_time = monotonic(); }

void mux_cleartimeofday() { g_tv_time = {0, 0}; }

uint32_t milliseconds() {
  timeval tv;
  mux_gettimeofday(tv);
  return uint32_t(usec(tv) / 1000) + millisecondsOffset;
}

void set_milliseconds_offset(uint32_t ms) { millisecondsOffset = ms; }

uint32_t microseconds() {
  timeval tv;
  mux_gettimeofday(tv);
  return uint32_t(usec(tv));
}

int32_t seconds() {
  timeval tv;
  mux_gettimeofday(tv);
  return tv.tv_sec;
}

int gettimeval(timeval& tv) {
  struct ::timeval now;
  gettimeofday(&now, nullptr);
  tv = {int32_t(now.tv_sec), int32_t(now.tv_usec)};
  return 0;
}

}  // namespace Mux
