// Timers: order across the 32-bit millisecond wrap, arming order, changes
// made from inside callbacks, the two-hour guard.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LoopTestSupport.h"

using namespace looptest;

namespace {

std::vector<std::string> fired;

struct Owner {
  explicit Owner(std::string n) : name(std::move(n)) {}
  void arm(unsigned ms) { timer.set(ms, &Owner::OnTimer, this); }
  void OnTimer(Timer* t) {
    EXPECT_EQ(&timer, t);
    EXPECT_FALSE(timer.active()) << "the timer is empty while its callback runs";
    fired.push_back(name);
    if (rearm) arm(rearm);
  }
  std::string name;
  Timer timer;
  unsigned rearm = 0;
};

class TimerTest : public LoopTest {
protected:
  void SetUp() override {
    LoopTest::SetUp();
    fired.clear();
  }
  void after(unsigned ms) {
    advance(ms);
    multiplexer.timers_schedule();
  }
};

TEST_F(TimerTest, EqualDeadlinesFireInArmingOrder) {
  Owner a("a"), b("b"), c("c"), d("d");
  a.arm(20);
  b.arm(10);
  c.arm(20);
  d.arm(10);
  EXPECT_EQ(10u, multiplexer.timers_schedule());
  after(10);
  EXPECT_EQ((std::vector<std::string>{"b", "d"}), fired);
  after(9);
  EXPECT_EQ(2u, fired.size());
  after(1);
  EXPECT_EQ((std::vector<std::string>{"b", "d", "a", "c"}), fired);
  EXPECT_EQ(0u, multiplexer.timers_schedule()) << "no timer armed: no wait";
}

TEST_F(TimerTest, OrderAndFiringSurviveTheMillisecondWrap) {
  pin((uint64_t(1) << 32) - 30);  // 30 ms before the loop clock wraps to 0
  Owner late("late"), early("early"), across("across");
  late.arm(100);
  early.arm(10);
  across.arm(40);  // deadline numerically smaller than now
  after(10);
  EXPECT_EQ((std::vector<std::string>{"early"}), fired);
  EXPECT_EQ(30u, multiplexer.timers_schedule()) << "a deadline past the wrap is still ahead";
  after(30);
  EXPECT_LT(Mux::milliseconds(), 100u) << "the clock has wrapped";
  after(60);
  EXPECT_EQ((std::vector<std::string>{"early", "across", "late"}), fired);
}

TEST_F(TimerTest, ReplacingAndRearmingKeepOneArmedEvent) {
  Owner a("a");
  a.arm(10);
  a.arm(50);
  after(10);
  EXPECT_TRUE(fired.empty()) << "the replaced event was cancelled";
  a.rearm = 5;
  after(40);
  after(5);
  EXPECT_EQ(2u, fired.size());
  EXPECT_EQ(1u, multiplexer.timer_count());
  a.timer.reset();
  after(100);
  EXPECT_EQ(2u, fired.size()) << "a reset timer never fires";
}

TEST_F(TimerTest, CallbackDestroysItsOwnerAndCancelsTheNextDueTimer) {
  struct SelfDestroying {
    Timer timer;
    Owner* victim;
    bool* gone;
    ~SelfDestroying() { *gone = true; }
    void OnTimer(Timer*) {
      victim->timer.reset();
      delete this;
    }
  };
  Owner victim("victim"), other("other");
  bool gone = false;
  auto* s = new SelfDestroying{{}, &victim, &gone};
  s->timer.set(1, &SelfDestroying::OnTimer, s);
  victim.arm(1);
  other.arm(1);
  after(1);
  EXPECT_TRUE(gone);
  EXPECT_EQ((std::vector<std::string>{"other"}), fired);
}

struct Ticker {
  void OnUpdateTimer() {
    updateTimer.set(this);
    ++ticks;
  }
  static constexpr TimerSpec<Ticker>::Spec TUpdatespec = {&Ticker::OnUpdateTimer, 3000};
  TimerSpec<Ticker>::SpecTimer<TUpdatespec> updateTimer;
  int ticks = 0;
};

TEST_F(TimerTest, SpecTimerTakesDelayAndActionFromItsRecord) {
  Ticker t;
  t.updateTimer.set(&t);
  after(3000);
  EXPECT_EQ(1, t.ticks);
  EXPECT_EQ(3000u, multiplexer.timers_schedule()) << "re-armed from its own callback";
}

TEST_F(TimerTest, WaitBeyondTwoHoursIsReportedOnceAndTimersRebased) {
  Owner a("a"), b("b");
  a.arm(10);
  b.arm(7200000);
  EXPECT_EQ(10u, multiplexer.timers_schedule()) << "two hours is still a valid wait";
  pin(pinned() - 3 * 3600 * 1000);  // the clock went back three hours
  uint32_t now = Mux::milliseconds();
  testing::internal::CaptureStderr();
  EXPECT_EQ(1000u, multiplexer.timers_schedule());
  EXPECT_EQ(
      "******** RUNTIME ERROR CONDITION *************"
      "Multiplexer::timers_schedule() invalid wait time detected!\n"
      "now = " +
          std::to_string(now) + "\nfirst = " + std::to_string(now + 3 * 3600 * 1000 + 10) + "\ncount = 2\n",
      testing::internal::GetCapturedStderr());
  testing::internal::CaptureStderr();
  EXPECT_EQ(1000u, multiplexer.timers_schedule());
  EXPECT_EQ("", testing::internal::GetCapturedStderr()) << "reported once";
  after(1000);
  EXPECT_EQ((std::vector<std::string>{"a", "b"}), fired) << "both 1000 ms later, in their order";
}

}  // namespace
