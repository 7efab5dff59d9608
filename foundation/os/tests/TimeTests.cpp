// Timeval arithmetic at its edges.

#include <gtest/gtest.h>

#include "foundation/os/TimeVal.h"

namespace {

using Mux::timeval;

TEST(TimeVal, CarryBorrowAndDifference) {
  timeval r;
  Mux::timevaladd2(timeval{0, 999999}, timeval{0, 999999}, r);
  EXPECT_EQ(1, r.tv_sec);
  EXPECT_EQ(999998, r.tv_usec);
  Mux::timevalsub(r, timeval{1, 999999});
  EXPECT_EQ(-1, r.tv_sec);
  EXPECT_EQ(999999, r.tv_usec) << "microseconds stay within 0..999999";
  EXPECT_EQ(200, Mux::timevaldiff(timeval{1, 900000}, timeval{2, 100000}));
  EXPECT_EQ(0, Mux::timevaldiff(timeval{2, 0}, timeval{1, 999999})) << "end before start";
  EXPECT_EQ(0, Mux::timevaldiff(timeval{1, 0}, timeval{1, 999})) << "truncated toward zero";
}

TEST(TimeVal, PeriodTimer) {
  Mux::timeval_timer t;
  t.init(timeval{10, 0}, 0);
  EXPECT_FALSE(t.is_expired(timeval{100000, 0})) << "a zero period never expires";
  t.init(timeval{10, 0}, 500);
  EXPECT_FALSE(t.is_expired(timeval{10, 500000})) << "expires only past the period";
  EXPECT_TRUE(t.is_expired(timeval{10, 501000}));
  t.inc();
  EXPECT_FALSE(t.is_expired(timeval{10, 700000}));
}

}  // namespace
