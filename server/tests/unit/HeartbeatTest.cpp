// The 120 s heartbeat on the loop's pinned clock: which frames re-arm it,
// who is dropped and who is kept.

#include <iostream>

#include "testing/CtrlServerFixture.h"

using Testing::Capture;
using Testing::firstProbe;
using Replies = std::vector<std::string>;

class HeartbeatTest : public Testing::CtrlServerTest {
protected:
  void SetUp() override {
    CtrlServerTest::SetUp();
    c = connect();
  }
  // A query without a slot, answered success by the heartbeat.
  void command() { ASSERT_EQ(exchange(*c, "0600"), Replies{"10"}); }
  // Still connected after the loop has had its passes.
  bool kept() {
    Testing::runFor(30);
    c->pump();
    return !c->closed && firstProbe().disconnects == 0;
  }

  Testing::PinnedClock clock{Testing::PinnedClock::Present};
  std::unique_ptr<Testing::Controller> c;
};

TEST_F(HeartbeatTest, AControllerSilentAfterItsFirstCommandIsDroppedAndSeesTheClose) {
  command();
  clock.advance(HeartBeatCtl::TimeoutMs - 1);
  EXPECT_TRUE(kept());
  Capture log(std::clog);
  clock.advance(1);
  EXPECT_EQ(log.str().substr(0, 21), "heartbeat timeout!!!\n");
  EXPECT_TRUE(dropped(*c));
  EXPECT_TRUE(Testing::runUntil([] { return firstProbe().disconnects == 1; }));
  EXPECT_FALSE(HeartBeatCtl::instance().armed());
}

TEST_F(HeartbeatTest, AControllerThatNeverSentACommandIsKept) {
  for (int minute = 0; minute < 10; ++minute) clock.advance(60000);
  EXPECT_TRUE(kept());
  EXPECT_FALSE(HeartBeatCtl::instance().armed());
  command();
  EXPECT_TRUE(HeartBeatCtl::instance().armed());
}

TEST_F(HeartbeatTest, AnyCommandRearmsItEvenOneThatEndsInAnError) {
  command();
  clock.advance(100000);
  // query without a slot: nobody takes it.
  ASSERT_EQ(exchange(*c, "0000"), Replies{"1900"});
  clock.advance(100000);
  EXPECT_TRUE(kept());
  clock.advance(20000);
  EXPECT_TRUE(dropped(*c));
}

TEST_F(HeartbeatTest, FramesThatAreNoCommandsDoNotRearmIt) {
  command();
  clock.advance(100000);
  {
    Capture err(std::cerr);
    EXPECT_EQ(exchange(*c, "c0010907d018"), Replies{"80010962"});  // slot 2000
    EXPECT_EQ(exchange(*c, "10"), Replies{"1900"});                // a response
    EXPECT_TRUE(sendQuietly(*c, "ff").empty());                    // undecodable
  }
  clock.advance(20000);
  EXPECT_TRUE(dropped(*c));
}

TEST_F(HeartbeatTest, TheNextControllerStartsWithoutATimerUntilItsFirstCommand) {
  command();
  clock.advance(HeartBeatCtl::TimeoutMs);
  ASSERT_TRUE(dropped(*c));
  ASSERT_TRUE(Testing::runUntil([] { return firstProbe().disconnects == 1; }));
  firstProbe().clear();
  c = connect();
  clock.advance(5 * HeartBeatCtl::TimeoutMs / 2);
  EXPECT_TRUE(kept());
  ASSERT_EQ(exchange(*c, "80010118"), Replies{"80010140"});
  clock.advance(HeartBeatCtl::TimeoutMs);
  EXPECT_TRUE(dropped(*c));
}
