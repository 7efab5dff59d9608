#include "foundation/os/TimeVal.h"

#include <cstdio>
#include <ctime>
#include <ostream>

namespace Mux {

namespace {
constexpr int32_t kUsecPerSec = 1000000;

void normalise(timeval& tv) {
  while (tv.tv_usec >= kUsecPerSec) {
    tv.tv_usec -= kUsecPerSec;
    ++tv.tv_sec;
  }
  while (tv.tv_usec < 0) {
    tv.tv_usec += kUsecPerSec;
    --tv.tv_sec;
  }
}
}  // namespace

timeval make_from_usec(unsigned us) { return {int32_t(us / 1000000u), int32_t(us % 1000000u)}; }

timeval make_from_msec(unsigned ms) { return {int32_t(ms / 1000u), int32_t(ms % 1000u * 1000u)}; }

void timevalset(timeval& tv, unsigned long long ms) {
  tv.tv_sec = int32_t(ms / 1000u);
  tv.tv_usec = int32_t(ms % 1000u * 1000u);
}

void timevaladd(timeval& a, const timeval& b) {
  a.tv_sec += b.tv_sec;
  a.tv_usec += b.tv_usec;
  normalise(a);
}

void timevalsub(timeval& a, const timeval& b) {
  a.tv_sec -= b.tv_sec;
  a.tv_usec -= b.tv_usec;
  normalise(a);
}

void timevaladd2(const timeval& a, const timeval& b, timeval& result) {
  result = a;
  timevaladd(result, b);
}

void timevalsub2(const timeval& a, const timeval& b, timeval& result) {
  result = a;
  timevalsub(result, b);
}

long long timevaldiff(const timeval& start, const timeval& end) {
  if (timevalcompare(end, start) < 0) return 0;
  return (long long)(end.tv_sec - start.tv_sec) * 1000 + (end.tv_usec - start.tv_usec) / 1000;
}

int timevalcompare(const timeval& a, const timeval& b) {
  if (a.tv_sec != b.tv_sec) return a.tv_sec < b.tv_sec ? -1 : 1;
  if (a.tv_usec != b.tv_usec) return a.tv_usec < b.tv_usec ? -1 : 1;
  return 0;
}

std::string timevaltostring(const timeval& tv) {
  time_t secs = tv.tv_sec;
  struct tm local;
  char date[64] = "";
  if (localtime_r(&secs, &local)) strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S", &local);
  char text[96];
  snprintf(text, sizeof text, "%s.%06ld", date, long(tv.tv_usec));
  return text;
}

void timeval_timer::init(const timeval& start, int period) {
  start_ = start;
  period_ = period;
}

void timeval_timer::init_now(const timeval& start) { start_ = start; }

bool timeval_timer::is_expired(const timeval& now) const { return period_ >= 1 && timevaldiff(start_, now) > period_; }

void timeval_timer::inc() { timevaladd(start_, make_from_msec(unsigned(period_))); }

}  // namespace Mux

void timestamp(std::ostream& out) {
  time_t now = time(nullptr);
  if (now == time_t(-1)) return;
  struct tm local;
  if (!localtime_r(&now, &local)) return;
  char text[32];
  strftime(text, sizeof text, "%d/%m %H:%M:%S", &local);
  out << text;
}
