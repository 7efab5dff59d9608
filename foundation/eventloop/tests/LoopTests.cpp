// The main loop: handler lists changed during dispatch, the poll wait, the
// watchdog's words and cadence, stopping, and the two aborts.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "LoopTestSupport.h"

using namespace looptest;

namespace {

// An Event on its own pipe whose callback runs a test-provided action.
struct Watched {
  Watched(const std::string& name, std::vector<std::string>& log) : name(name), log(log) {
    event.Bind(name, &Watched::OnEvent, this);
    event.Schedule(pipe.read, POLLIN);
  }
  void OnEvent(int fd, short revents) {
    EXPECT_EQ(event.fd().get(), fd);
    log.push_back(name + (revents ? "+" : "0"));
    if (action) action();
  }
  std::string name;
  std::vector<std::string>& log;
  Pipe pipe;
  Event event;
  std::function<void()> action;
};

// Stops the loop at the start of a given pass.
struct PassLimit {
  explicit PassLimit(int passes) : left(passes) {
    dpc.Bind(this, &PassLimit::OnCall);
    dpc.Activate();
  }
  void OnCall() {
    // Two calls per pass: count the first of each.
    if (second = !second, !second) return;
    if (--left < 0) multiplexer.terminate();
  }
  Dpc dpc;
  int left;
  bool second = true;
};

class MuxTest : public LoopTest {
protected:
  std::string runLoop(bool watchdog = false) {
    testing::internal::CaptureStderr();
    multiplexer.run(watchdog, true);
    return testing::internal::GetCapturedStderr();
  }
  std::vector<std::string> log;
};

TEST_F(MuxTest, DetachAndAttachDuringDispatch) {
  Watched a("a", log), b("b", log), c("c", log);
  std::unique_ptr<Watched> d;
  a.pipe.fill();
  a.action = [&] {
    if (!d) {
      c.event.Release();  // not served later in this dispatch
      d.reset(new Watched("d", log));
      d->pipe.fill();
    }
  };
  b.action = [&] { b.event.Release(); };  // detaching itself
  std::unique_ptr<Watched> e(new Watched("e", log));
  e->action = [&] { e.reset(); };  // destroying itself
  PassLimit limit(2);
  std::string err = runLoop();
  EXPECT_EQ((std::vector<std::string>{"a+", "b0", "e0", "a+", "d+"}), log)
      << "attach order, quiet ones see 0; the new handler is polled from the next pass, the released ones never "
         "again";
  EXPECT_EQ(std::string::npos, err.find("indvalid")) << err;
  EXPECT_FALSE(multiplexer.event_exists(&b.event));
}

TEST_F(MuxTest, DuplicateAttachAndUnknownDetachAreReportedOnly) {
  Watched a("a", log);
  a.pipe.fill();
  a.event.mux_attach();  // guarded by the attached flag: nothing happens
  testing::internal::CaptureStderr();
  multiplexer.attach(&a.event);
  EXPECT_EQ("duplicate multiplexer attach \"a\" ignored.\n", testing::internal::GetCapturedStderr());
  Event never;
  never.Schedule(Fd(), POLLIN);  // an invalid descriptor is not attached
  never.set_name("never");
  never.mux_detach();  // never attached: nothing happens
  testing::internal::CaptureStderr();
  multiplexer.detach(&never);
  EXPECT_EQ("indvalid Multiplexer::detach never\n", testing::internal::GetCapturedStderr());
  PassLimit limit(1);
  runLoop();
  EXPECT_EQ((std::vector<std::string>{"a+"}), log) << "still polled and served once";
}

TEST_F(MuxTest, TerminateStopsDispatchBeforeTheNextHandler) {
  Watched a("a", log), b("b", log);
  a.pipe.fill();
  b.pipe.fill();
  a.action = [] { multiplexer.terminate(); };
  std::string err = runLoop(true);
  EXPECT_EQ((std::vector<std::string>{"a+"}), log);
  EXPECT_EQ("Mux: terminating...\n", err);
  EXPECT_EQ("START PING STOP", watchdog.words());
  EXPECT_TRUE(watchdog.closed);
  // The unserved handler kept its place: a later run serves both in order.
  a.action = nullptr;
  log.clear();
  PassLimit limit(1);
  runLoop();
  EXPECT_EQ((std::vector<std::string>{"a+", "b+"}), log);
}

TEST_F(MuxTest, TerminateBeforeRunEndsTheLoopInOrder) {
  Watched a("a", log);
  multiplexer.terminate();
  std::string err = runLoop(true);
  EXPECT_EQ("Mux: terminating...\n", err);
  EXPECT_EQ("START STOP", watchdog.words());
  EXPECT_TRUE(waits().empty());
  EXPECT_TRUE(log.empty());
  EXPECT_FALSE(multiplexer.terminating()) << "the next run starts afresh";
}

TEST_F(MuxTest, WatchdogCapsTheWaitAndPingsOncePerSecond) {
  struct Stop {
    Timer timer;
    void OnTimer() { multiplexer.terminate(); }
  } stop;
  stop.timer.set(5500, &Stop::OnTimer, &stop);
  uint32_t start = Mux::milliseconds();
  runLoop(true);
  EXPECT_EQ((std::vector<int>{1000, 1000, 1000, 1000, 1000, 500}), waits())
      << "no handler: with the watchdog open this is no hang";
  std::vector<uint32_t> pings;
  for (const auto& w : watchdog.journal)
    if (w.text == "PING") pings.push_back(w.at - start);
  EXPECT_EQ((std::vector<uint32_t>{1000, 2000, 3000, 4000, 5000}), pings);
  EXPECT_EQ("STOP", watchdog.journal.back().text);
  EXPECT_EQ(5500u, watchdog.journal.back().at - start);
}

TEST_F(MuxTest, BusyLoopStillPingsOnlyOncePerSecondAndAfterTheClockGoesBack) {
  Watched a("a", log);
  a.pipe.fill();  // always readable: poll() never waits
  int passes = 0;
  a.action = [&] {
    ++passes;
    advance(250);
    if (passes == 8) pin(pinned() - 5000);
    if (passes == 10) multiplexer.terminate();
  };
  runLoop(true);
  // Passes 1..10 poll at +0, +250, ...: pings at +0, +1000 and after the step back.
  EXPECT_EQ("START PING PING PING STOP", watchdog.words());
}

TEST_F(MuxTest, WatchdogFailures) {
  watchdog.failOpen = true;
  multiplexer.terminate();
  EXPECT_EQ("Mux: fail to open watchdog: No such file or directory\nMux: terminating...\n", runLoop(true));

  FakeWatchdog refusing;
  refusing.refuse = "START";
  multiplexer.watchdog().use(&refusing);
  Watched a("a", log);
  {
    PassLimit limit(1);
    EXPECT_EQ("Mux: fail to activate watchdog: Input/output error\nMux: terminating...\n", runLoop(true));
  }
  EXPECT_TRUE(refusing.closed);
  EXPECT_EQ((std::vector<int>{-1}), waits()) << "no cap without a watchdog";

  FakeWatchdog noPing;
  noPing.refuse = "PING";
  multiplexer.watchdog().use(&noPing);
  {
    PassLimit limit(1);
    EXPECT_EQ("Mux: ping watchdog failed: Input/output error\nMux: terminating...\n", runLoop(true));
  }
  EXPECT_EQ("START STOP", noPing.words()) << "the device stays open after a failed ping";

  FakeWatchdog noStop;
  noStop.refuse = "STOP";
  multiplexer.watchdog().use(&noStop);
  multiplexer.terminate();
  EXPECT_EQ("Mux: terminating...\nMux: stop watchdog failed: Input/output error\n", runLoop(true));
  EXPECT_TRUE(noStop.closed);
  EXPECT_FALSE(multiplexer.watchdog().isOpen());
}

TEST_F(MuxTest, ZeroDelayTimerArmedRightBeforePollBoundsThatWait) {
  struct Late {
    Dpc dpc;
    Timer timer;
    int calls = 0;
    bool fired = false;
    void OnCall() {
      if (++calls == 2) timer.set(0, &Late::OnTimer, this);  // the call right before poll()
    }
    void OnTimer() {
      fired = true;
      multiplexer.terminate();
    }
  } late;
  late.dpc.Bind(&late, &Late::OnCall);
  late.dpc.Activate();
  Watched a("a", log);
  runLoop();
  EXPECT_EQ((std::vector<int>{1}), waits()) << "not an unlimited wait";
  EXPECT_TRUE(late.fired);
}

int failingPoll(pollfd*, nfds_t, int) {
  errno = EBADF;
  return -1;
}

// Reset by the test that uses it, so that it runs alike when repeated.
int interruptedCalls = 0;
int interruptedPoll(pollfd*, nfds_t, int) {
  if (++interruptedCalls == 3) multiplexer.terminate();
  errno = EINTR;
  return -1;
}

using MuxDeathTest = MuxTest;

TEST_F(MuxDeathTest, NothingToWaitForAborts) {
  EXPECT_DEATH(multiplexer.run(false, true), "^multiplexer: system hang detected!!!\n");
}

TEST_F(MuxDeathTest, PollFailureAbortsButAnInterruptDoesNot) {
  Watched a("a", log);
  multiplexer.set_poll(failingPoll);
  EXPECT_DEATH(multiplexer.run(false, true), "^multiplexer poll failed: Bad file descriptor\n");
  interruptedCalls = 0;
  multiplexer.set_poll(interruptedPoll);
  runLoop();
  EXPECT_TRUE(log.empty());
}

}  // namespace
