// Deferred calls: address order, twice a pass, changes made during a run.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "LoopTestSupport.h"
#include "foundation/eventloop/Dpc.h"

using namespace looptest;

namespace {

std::vector<int> calls;

struct Deferred {
  Dpc dpc;
  int id = 0;
  Dpc* toDeactivate = nullptr;
  Dpc* toActivate = nullptr;
  void OnCall() {
    calls.push_back(id);
    if (toDeactivate) toDeactivate->Deactivate();
    if (toActivate) toActivate->Activate();
  }
};

class DpcTest : public LoopTest {
protected:
  void SetUp() override {
    LoopTest::SetUp();
    calls.clear();
    for (int i = 0; i < 3; ++i) {
      d[i].id = i;
      d[i].dpc.Bind(&d[i], &Deferred::OnCall);
    }
  }
  // Elements of one array: ascending addresses in index order.
  Deferred d[3];
};

TEST_F(DpcTest, RunInAddressOrderNotActivationOrder) {
  d[2].dpc.Activate();
  d[0].dpc.Activate();
  d[1].dpc.Activate();
  d[0].dpc.Activate();  // a second activation changes nothing
  multiplexer.execute_dpc();
  EXPECT_EQ((std::vector<int>{0, 1, 2}), calls);
}

TEST_F(DpcTest, DeactivatedByAnEarlierCallInTheSameRunIsSkipped) {
  d[0].toDeactivate = &d[1].dpc;
  d[0].dpc.Activate();
  d[1].dpc.Activate();
  d[2].dpc.Activate();
  multiplexer.execute_dpc();
  EXPECT_EQ((std::vector<int>{0, 2}), calls);
  EXPECT_FALSE(d[1].dpc.active());
}

TEST_F(DpcTest, SelfDeactivationRunsOnceAndActivationDuringRunWaitsForNextRun) {
  d[1].toDeactivate = &d[1].dpc;
  d[1].toActivate = &d[0].dpc;
  d[1].dpc.Activate();
  multiplexer.execute_dpc();
  EXPECT_EQ((std::vector<int>{1}), calls) << "d0 sits before d1 but was activated during the run";
  multiplexer.execute_dpc();
  EXPECT_EQ((std::vector<int>{1, 0}), calls);
}

TEST_F(DpcTest, DestroyedWhileWaitingInTheRunIsNotCalled) {
  // Members in declaration order: first runs before second.
  struct Pair {
    Dpc first;
    std::optional<Dpc> second;
    bool secondCalled = false;
    void OnFirst() { second.reset(); }
    void OnSecond() { secondCalled = true; }
  } pair;
  pair.second.emplace();
  pair.first.Bind(&pair, &Pair::OnFirst);
  pair.second->Bind(&pair, &Pair::OnSecond);
  pair.second->Activate();
  pair.first.Activate();
  multiplexer.execute_dpc();
  EXPECT_FALSE(pair.secondCalled);
  pair.first.Deactivate();
}

TEST_F(DpcTest, ActiveCallRunsTwicePerLoopPass) {
  struct Stopper {
    Dpc dpc;
    int calls = 0;
    void OnCall() {
      if (++calls == 5) multiplexer.terminate();
    }
  } stopper;
  stopper.dpc.Bind(&stopper, &Stopper::OnCall);
  stopper.dpc.Activate();
  Pipe p;
  Event e;
  e.Schedule(p.read, POLLIN);  // something to wait on, so the loop does not hang
  testing::internal::CaptureStderr();
  multiplexer.run(false, true);
  EXPECT_EQ("Mux: terminating...\n", testing::internal::GetCapturedStderr());
  // Two passes of two calls; the fifth (after the timers of the third pass)
  // stops the loop, and the call before poll() still runs.
  EXPECT_EQ(6, stopper.calls);
  EXPECT_EQ(2u, waits().size());
  stopper.dpc.Deactivate();
}

TEST_F(DpcTest, BindingAgainReplacesTheHandler) {
  struct Other {
    int n = 0;
    void OnCall() { ++n; }
  } other;
  d[0].dpc.Activate();
  d[0].dpc.Bind(&other, &Other::OnCall);
  multiplexer.execute_dpc();
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(1, other.n);
}

}  // namespace
