#pragma once
// A 32-bit timeval and the arithmetic the daemon does on it, plus the short
// wall-clock stamp of log lines.

#include <cstdint>
#include <iosfwd>
#include <string>

namespace Mux {

struct timeval {
  int32_t tv_sec;
  int32_t tv_usec;
};

timeval make_from_usec(unsigned us);
timeval make_from_msec(unsigned ms);
void timevalset(timeval& tv, unsigned long long ms);

// Microseconds stay within 0..999999: whole seconds are carried or borrowed.
void timevaladd(timeval& a, const timeval& b);
void timevalsub(timeval& a, const timeval& b);
void timevaladd2(const timeval& a, const timeval& b, timeval& result);
void timevalsub2(const timeval& a, const timeval& b, timeval& result);

// Milliseconds from start to end; 0 when end lies before start.
long long timevaldiff(const timeval& start, const timeval& end);
// -1, 0 or 1, by seconds, then microseconds.
int timevalcompare(const timeval& a, const timeval& b);
// Local time as "YYYY-mm-dd HH:MM:SS.uuuuuu".
std::string timevaltostring(const timeval& tv);

// A period measured from a start time.
class timeval_timer {
public:
  void init(const timeval& start, int period);
  void init_now(const timeval& start);
  // Never expires with a period below 1.
  bool is_expired(const timeval& now) const;
  void inc();

  const timeval& start() const { return start_; }
  int period() const { return period_; }

private:
  timeval start_ = {0, 0};
  int period_ = 0;
};

}  // namespace Mux

// The local time as "dd/mm HH:MM:SS"; nothing when the clock cannot be read.
void timestamp(std::ostream& out);
