// Timers: order across the 32-bit millisecond wrap, arming order, re-arming
// and destruction from inside callbacks, the two-hour guard.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "LoopTestSupport.h"
#include "foundation/eventloop/Timer.h"

using namespace looptest;

namespace {

std::vector<std::string> fired;

class Owner {
public:
  explicit Owner(std::string name) : name_(std::move(name)) {}
  void arm(unsigned ms) { timer.set(ms, &Owner::OnTimer, this); }
  void OnTimer(Timer* t) {
    EXPECT_EQ(&timer, t);
    EXPECT_FALSE(timer.active()) << "the timer is empty while its callback runs";
    fired.push_back(name_);
    if (rearm) timer.set(rearm, &Owner::OnTimer, this);
  }
  Timer timer;
  unsigned rearm = 0;

private:
  std::string name_;
};

class TimerTest : public LoopTest {
protected:
  void SetUp() override {
    LoopTest::SetUp();
    fired.clear();
  }
  void runDue() { multiplexer.timers_schedule(); }
};

TEST_F(TimerTest, EqualDeadlinesFireInArmingOrderAndEarlierFirst) {
  Owner a("a"), b("b"), c("c"), d("d");
  a.arm(20);
  b.arm(10);
  c.arm(20);
  d.arm(10);
  EXPECT_EQ(10u, multiplexer.timers_schedule());
  advance(10);
  runDue();
  EXPECT_EQ((std::vector<std::string>{"b", "d"}), fired);
  advance(9);
  runDue();
  EXPECT_EQ(2u, fired.size()) << "nothing fires before its deadline";
  advance(1);
  runDue();
  EXPECT_EQ((std::vector<std::string>{"b", "d", "a", "c"}), fired);
  EXPECT_EQ(0u, multiplexer.timers_schedule()) << "no timer armed: no wait";
}

TEST_F(TimerTest, OrderAndFiringSurviveTheMillisecondWrap) {
  pin((uint64_t(1) << 32) - 30);  // 30 ms before the loop clock wraps to 0
  Owner late("late"), early("early"), across("across");
  late.arm(100);   // deadline 70 after the wrap
  early.arm(10);   // deadline before the wrap
  across.arm(40);  // deadline 10 after the wrap, numerically smaller than now
  EXPECT_EQ(10u, multiplexer.timers_schedule());
  advance(10);
  runDue();
  EXPECT_EQ((std::vector<std::string>{"early"}), fired);
  EXPECT_EQ(30u, multiplexer.timers_schedule()) << "a deadline past the wrap is still ahead";
  advance(30);
  EXPECT_LT(Mux::milliseconds(), 100u) << "the clock has wrapped";
  runDue();
  EXPECT_EQ((std::vector<std::string>{"early", "across"}), fired);
  advance(60);
  runDue();
  EXPECT_EQ((std::vector<std::string>{"early", "across", "late"}), fired);
}

TEST_F(TimerTest, RearmingReplacesAndCancelsTheHeldEvent) {
  Owner a("a");
  a.arm(10);
  a.arm(50);
  EXPECT_EQ(1u, multiplexer.timer_count());
  advance(10);
  runDue();
  EXPECT_TRUE(fired.empty());
  a.timer.reset();
  EXPECT_EQ(0u, multiplexer.timer_count());
  advance(100);
  runDue();
  EXPECT_TRUE(fired.empty()) << "a reset timer never fires";
}

TEST_F(TimerTest, RearmInsideCallbackLeavesExactlyOneArmedEvent) {
  Owner a("a");
  a.rearm = 5;
  a.arm(5);
  for (int i = 0; i < 3; ++i) {
    advance(5);
    runDue();
    EXPECT_EQ(1u, multiplexer.timer_count());
  }
  EXPECT_EQ(3u, fired.size());
  a.timer.reset();
}

TEST_F(TimerTest, ZeroDelayRearmFromCallbackFiresInTheSameRun) {
  struct Twice {
    Timer timer;
    int calls = 0;
    void OnTimer() {
      if (++calls == 1) timer.set(0, &Twice::OnTimer, this);
    }
  } t;
  t.timer.set(5, &Twice::OnTimer, &t);
  advance(5);
  runDue();
  EXPECT_EQ(2, t.calls);
}

TEST_F(TimerTest, OwnerDestroyedInsideItsCallback) {
  struct SelfDestroying {
    Timer timer;
    bool* gone;
    ~SelfDestroying() { *gone = true; }
    void OnTimer(Timer*) { delete this; }
  };
  bool gone = false;
  auto* s = new SelfDestroying{{}, &gone};
  s->timer.set(1, &SelfDestroying::OnTimer, s);
  Owner other("other");
  other.arm(1);
  advance(1);
  runDue();
  EXPECT_TRUE(gone);
  EXPECT_EQ((std::vector<std::string>{"other"}), fired) << "the next due timer still fires";
}

TEST_F(TimerTest, CallbackCancelsTheNextDueTimer) {
  struct Canceller {
    Timer* victim;
    Timer timer;
    void OnTimer() { victim->reset(); }
  };
  Owner victim("victim");
  Canceller c{&victim.timer, {}};
  c.timer.set(1, &Canceller::OnTimer, &c);
  victim.arm(1);
  advance(1);
  runDue();
  EXPECT_TRUE(fired.empty());
  EXPECT_EQ(0u, multiplexer.timer_count());
}

struct Ticker {
  void OnUpdateTimer();
  static constexpr TimerSpec<Ticker>::Spec TUpdatespec = {&Ticker::OnUpdateTimer, 3000};
  TimerSpec<Ticker>::SpecTimer<TUpdatespec> updateTimer;
  int ticks = 0;
};
void Ticker::OnUpdateTimer() {
  updateTimer.set(this);
  ++ticks;
}

TEST_F(TimerTest, SpecTimerTakesDelayAndActionFromItsRecord) {
  Ticker t;
  t.updateTimer.set(&t);
  EXPECT_EQ(3000u, multiplexer.timers_schedule());
  advance(3000);
  runDue();
  EXPECT_EQ(1, t.ticks);
  EXPECT_EQ(3000u, multiplexer.timers_schedule()) << "re-armed from its own callback";
}

TEST_F(TimerTest, WaitBeyondTwoHoursIsReportedOnceAndTimersRebased) {
  Owner a("a"), b("b");
  a.arm(10);
  b.arm(20);
  pin(pinned() - 3 * 3600 * 1000);  // the clock went back three hours
  uint32_t now = Mux::milliseconds();
  testing::internal::CaptureStderr();
  EXPECT_EQ(1000u, multiplexer.timers_schedule());
  std::string report = testing::internal::GetCapturedStderr();
  EXPECT_EQ("******** RUNTIME ERROR CONDITION *************"
            "Multiplexer::timers_schedule() invalid wait time detected!\n"
            "now = " + std::to_string(now) + "\nfirst = " + std::to_string(now + 3 * 3600 * 1000 + 10) +
                "\ncount = 2\n",
            report);
  testing::internal::CaptureStderr();
  EXPECT_EQ(1000u, multiplexer.timers_schedule());
  EXPECT_EQ("", testing::internal::GetCapturedStderr()) << "reported once";
  advance(1000);
  runDue();
  EXPECT_EQ((std::vector<std::string>{"a", "b"}), fired) << "both fire 1000 ms later, in their order";
}

TEST_F(TimerTest, ExactlyTwoHoursIsStillValid) {
  Owner a("a");
  a.arm(7200000);
  testing::internal::CaptureStderr();
  EXPECT_EQ(7200000u, multiplexer.timers_schedule());
  EXPECT_EQ("", testing::internal::GetCapturedStderr());
  a.arm(7200001);
  testing::internal::CaptureStderr();
  EXPECT_EQ(1000u, multiplexer.timers_schedule());
  EXPECT_NE("", testing::internal::GetCapturedStderr());
  a.timer.reset();
}

}  // namespace
