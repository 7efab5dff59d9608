// Timeval arithmetic, period timers and the text forms of time.

#include <gtest/gtest.h>

#include <cctype>
#include <sstream>

#include "foundation/os/TimeVal.h"

namespace {

using Mux::timeval;

TEST(TimeVal, BuildFromCounts) {
  timeval a = Mux::make_from_usec(2500001);
  EXPECT_EQ(2, a.tv_sec);
  EXPECT_EQ(500001, a.tv_usec);
  timeval b = Mux::make_from_msec(1999);
  EXPECT_EQ(1, b.tv_sec);
  EXPECT_EQ(999000, b.tv_usec);
  timeval c;
  Mux::timevalset(c, 5000000001ull);
  EXPECT_EQ(5000000, c.tv_sec);
  EXPECT_EQ(1000, c.tv_usec);
}

TEST(TimeVal, AddAndSubCarryWholeSeconds) {
  timeval a = {1, 900000}, b = {0, 200000};
  Mux::timevaladd(a, b);
  EXPECT_EQ(2, a.tv_sec);
  EXPECT_EQ(100000, a.tv_usec);
  Mux::timevalsub(a, timeval{0, 300000});
  EXPECT_EQ(1, a.tv_sec);
  EXPECT_EQ(800000, a.tv_usec);
  timeval r;
  Mux::timevalsub2(timeval{5, 0}, timeval{0, 1}, r);
  EXPECT_EQ(4, r.tv_sec);
  EXPECT_EQ(999999, r.tv_usec);
  Mux::timevaladd2(timeval{0, 999999}, timeval{0, 999999}, r);
  EXPECT_EQ(1, r.tv_sec);
  EXPECT_EQ(999998, r.tv_usec);
}

TEST(TimeVal, DifferenceInMillisecondsNeverNegative) {
  EXPECT_EQ(200, Mux::timevaldiff(timeval{1, 900000}, timeval{2, 100000}));
  EXPECT_EQ(0, Mux::timevaldiff(timeval{2, 0}, timeval{1, 999999})) << "end before start";
  EXPECT_EQ(0, Mux::timevaldiff(timeval{1, 0}, timeval{1, 999})) << "truncated toward zero";
  EXPECT_EQ(-1, Mux::timevalcompare(timeval{1, 5}, timeval{1, 6}));
  EXPECT_EQ(1, Mux::timevalcompare(timeval{2, 0}, timeval{1, 999999}));
  EXPECT_EQ(0, Mux::timevalcompare(timeval{3, 3}, timeval{3, 3}));
}

TEST(TimeVal, PeriodTimer) {
  Mux::timeval_timer t;
  t.init(timeval{10, 0}, 0);
  EXPECT_FALSE(t.is_expired(timeval{100000, 0})) << "a zero period never expires";
  t.init(timeval{10, 0}, 500);
  EXPECT_FALSE(t.is_expired(timeval{10, 500000})) << "expires only past the period";
  EXPECT_TRUE(t.is_expired(timeval{10, 501000}));
  t.inc();
  EXPECT_EQ(10, t.start().tv_sec);
  EXPECT_EQ(500000, t.start().tv_usec);
  EXPECT_FALSE(t.is_expired(timeval{10, 700000}));
  t.init_now(timeval{20, 0});
  EXPECT_EQ(500, t.period());
}

// Digits wherever the pattern has '9', the pattern's own character elsewhere.
bool shaped(const std::string& text, const std::string& pattern) {
  if (text.size() != pattern.size()) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (pattern[i] == '9' ? !isdigit((unsigned char)text[i]) : text[i] != pattern[i]) return false;
  return true;
}

TEST(TimeVal, TextForms) {
  std::string text = Mux::timevaltostring(timeval{86400 * 365, 42});
  EXPECT_TRUE(shaped(text, "9999-99-99 99:99:99.000042")) << text;
  std::ostringstream out;
  timestamp(out);
  EXPECT_TRUE(shaped(out.str(), "99/99 99:99:99")) << out.str();
}

}  // namespace
