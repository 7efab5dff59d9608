#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <thread>
#include <vector>

#include "foundation/eventloop/ChildWait.h"
#include "testing/Capture.h"
#include "testing/Loop.h"

namespace {

using Testing::PatienceMs;
using Testing::runUntil;

// Counts the exits it is told of.
struct Watcher {
  ChildWait wait;
  int calls = 0;
  int status = -1;

  Watcher() { wait.Bind(this, &Watcher::OnExit); }
  void OnExit(int exitStatus) {
    ++calls;
    status = exitStatus;
  }
};

pid_t spawnExiting(int code) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(code);
  return pid;
}

pid_t spawnWaiting() {
  const pid_t pid = ::fork();
  if (pid == 0) {
    for (;;) ::pause();
  }
  return pid;
}

bool reaped(pid_t pid) { return ::kill(pid, 0) == -1 && errno == ESRCH; }

std::string logLine(pid_t pid, int status) {
  return "terminate child process, pid=" + std::to_string(pid) + " status=" + std::to_string(status) + "\n";
}

class ChildWaitTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { ChildWait::Activate(); }
};

TEST_F(ChildWaitTest, ExitedAndKilledChildrenAreEachToldOnce) {
  Testing::Capture log(std::clog);
  Watcher exited, killed;
  const pid_t exitingPid = spawnExiting(3);
  const pid_t waitingPid = spawnWaiting();
  const pid_t orphanPid = spawnExiting(0);
  ASSERT_GT(exitingPid, 0);
  ASSERT_GT(waitingPid, 0);
  exited.wait.Attach(exitingPid);
  killed.wait.Attach(waitingPid);
  EXPECT_TRUE(exited.wait.waiting());

  ASSERT_TRUE(runUntil([&] { return exited.calls > 0; }, PatienceMs));
  EXPECT_EQ(0, killed.calls);
  ::kill(waitingPid, SIGKILL);
  ASSERT_TRUE(runUntil([&] { return killed.calls > 0 && log.str().find(logLine(orphanPid, 0)) != std::string::npos; },
                       PatienceMs));

  EXPECT_EQ(1, exited.calls);
  EXPECT_TRUE(WIFEXITED(exited.status));
  EXPECT_EQ(3, WEXITSTATUS(exited.status));
  EXPECT_EQ(1, killed.calls);
  EXPECT_TRUE(WIFSIGNALED(killed.status));
  EXPECT_EQ(SIGKILL, WTERMSIG(killed.status));
  EXPECT_FALSE(exited.wait.waiting());
  EXPECT_FALSE(killed.wait.waiting());
  const std::string text = log.str();
  EXPECT_NE(std::string::npos, text.find(logLine(exitingPid, exited.status)));
  EXPECT_NE(std::string::npos, text.find(logLine(waitingPid, killed.status)));
  EXPECT_EQ(0u, ChildWaitService::childWaitService->waiters().count());
}

// Forks children from a loop callback and stays busy until the signal
// handler has reaped them all; the loop hears of them afterwards.
class BusyForker {
public:
  explicit BusyForker(std::size_t count) : watchers(count) {}

  void OnTimer(Timer*) {
    for (auto& watcher : watchers) {
      watcher = std::make_unique<Watcher>();
      const pid_t pid = spawnExiting(7);
      watcher->wait.Attach(pid);
      pids.push_back(pid);
    }
    for (pid_t pid : pids) {
      while (!reaped(pid)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    busyDone = true;
  }

  std::vector<std::unique_ptr<Watcher>> watchers;
  std::vector<pid_t> pids;
  bool busyDone = false;
  Timer timer;
};

TEST_F(ChildWaitTest, ChildrenExitingWhileTheLoopIsBusyAreAllDelivered) {
  Testing::Capture log(std::clog);
  BusyForker forker(20);
  forker.timer.set(0, &BusyForker::OnTimer, &forker);
  auto allTold = [&] {
    if (!forker.busyDone) return false;
    for (auto& watcher : forker.watchers) {
      if (watcher->calls == 0) return false;
    }
    return true;
  };
  ASSERT_TRUE(runUntil(allTold, PatienceMs));
  for (auto& watcher : forker.watchers) {
    EXPECT_EQ(1, watcher->calls);
    EXPECT_EQ(7, WEXITSTATUS(watcher->status));
  }
  // The records sat in the socket pair until the busy callback returned.
  EXPECT_TRUE(forker.busyDone);
}

TEST_F(ChildWaitTest, WaiterListStaysIntactAcrossReattachAndDestruction) {
  F_dual_list<ChildWait>& waiters = ChildWaitService::childWaitService->waiters();
  Watcher first, second;
  first.wait.Attach(900001);
  second.wait.Attach(900002);
  first.wait.Attach(900003);
  ASSERT_EQ(2u, waiters.count());
  EXPECT_EQ(&first.wait, waiters.tail()) << "a re-attach moves the waiter, it does not add one";
  second.wait.Detach();
  second.wait.Detach();
  {
    Watcher told;
    told.wait.Attach(spawnExiting(1));
    ASSERT_TRUE(runUntil([&] { return told.calls > 0; }, PatienceMs));
    // Rebinding replaces the handler in place.
    told.wait.Bind(&second, &Watcher::OnExit);
  }
  EXPECT_EQ(1u, waiters.count());
  first.wait.Detach();
  EXPECT_EQ(0u, waiters.count());
}

}  // namespace
