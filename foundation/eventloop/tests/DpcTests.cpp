// Deferred calls: address order, twice a pass, changes made during a run.

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "LoopTestSupport.h"

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
  Deferred d[3];  // one array: ascending addresses in index order
};

TEST_F(DpcTest, RunInAddressOrderNotActivationOrder) {
  d[2].dpc.Activate();
  d[0].dpc.Activate();
  d[1].dpc.Activate();
  d[0].dpc.Activate();
  multiplexer.execute_dpc();
  EXPECT_EQ((std::vector<int>{0, 1, 2}), calls);
}

TEST_F(DpcTest, ChangesDuringARunCountFromTheNextRun) {
  d[1].toDeactivate = &d[2].dpc;  // skipped in this run
  d[1].toActivate = &d[0].dpc;    // sits before d1: first runs next time
  d[1].dpc.Activate();
  d[2].dpc.Activate();
  multiplexer.execute_dpc();
  EXPECT_EQ((std::vector<int>{1}), calls);
  d[1].dpc.Deactivate();
  multiplexer.execute_dpc();
  EXPECT_EQ((std::vector<int>{1, 0}), calls);
}

TEST_F(DpcTest, DestroyedWhileWaitingInTheRunIsNotCalled) {
  struct Pair {  // members in declaration order: first runs before second
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
  // The fifth call (after the timers of the third pass) stops the loop; the
  // call right before poll() still runs, poll() does not.
  EXPECT_EQ(6, stopper.calls);
  EXPECT_EQ(2u, waits().size());
}

}  // namespace
