#include <gtest/gtest.h>

#include "foundation/packet/CleanQueue.h"
#include "foundation/packet/Cyclic.h"
#include "foundation/packet/tests/PoolGuard.h"

namespace {

Packet one(uint8_t b) {
  Packet p;
  p.reserve_head(0);
  p.put(b);
  return p;
}

using CleanQueueTest = PoolGuard;
using Seq = Cyclic<unsigned int, 127u>;

TEST_F(CleanQueueTest, CapacityIsFixedAndAFullQueueIsUntouched) {
  CleanQueue<Packet, 7> q;
  EXPECT_EQ(q.size(), 7u);
  for (uint8_t i = 0; i < 7; ++i) EXPECT_TRUE(q.put(one(i)));
  EXPECT_FALSE(q.put(one(7)));
  EXPECT_FALSE(q.append(one(8)));
  EXPECT_EQ(q.count(), 7u);
  Packet p;
  for (uint8_t i = 0; i < 7; ++i) {
    ASSERT_TRUE(q.get(p));
    EXPECT_EQ(p.text(), one(i).text());
  }
  EXPECT_TRUE(q.empty());
}

TEST_F(CleanQueueTest, BothEndsAndWrapAround) {
  CleanQueue<Packet, 3> q;
  Packet p = one(0xEE);
  EXPECT_FALSE(q.get(p) || q.get_last(&p) || q.preview(&p));
  EXPECT_EQ(p.text(), "EE") << "an empty queue leaves the target alone";

  q.put(one(1));
  q.put(one(2));
  q.put(one(3));
  EXPECT_TRUE(q.get(&p));
  EXPECT_EQ(p.text(), "01");
  EXPECT_TRUE(q.get_last(&p));
  EXPECT_EQ(p.text(), "03");
  EXPECT_EQ(q.count(), 1u);

  // Head and tail both cross the end of the ring.
  EXPECT_TRUE(q.put(one(4)));
  EXPECT_TRUE(q.put(one(5)));
  EXPECT_FALSE(q.put(one(6)));
  for (uint8_t want : {2, 4, 5}) {
    ASSERT_TRUE(q.get(p));
    EXPECT_EQ(p.data()[0], want);
  }

  // append at head 0 goes into the last slot and comes out first.
  CleanQueue<Packet, 4> r;
  r.put(one(1));
  EXPECT_TRUE(r.append(one(9)));
  EXPECT_TRUE(r.preview(nullptr));
  EXPECT_TRUE(r.get(p));
  EXPECT_EQ(p.text(), "09");
  EXPECT_TRUE(r.get_last(&p));
  EXPECT_EQ(p.text(), "01");
  EXPECT_FALSE(r.preview(nullptr));
}

TEST_F(CleanQueueTest, QueuedPacketsHoldPoolBuffersUntilTakenOrCleared) {
  CleanQueue<Packet, 135> q;
  for (uint8_t i = 0; i < 100; ++i) q.put(one(i));
  EXPECT_EQ(packet_pool().count(), 1024u - 100u);

  Packet head;
  ASSERT_TRUE(q.preview(&head));
  EXPECT_EQ(packet_pool().count(), 1024u - 100u);
  head.release();

  Packet taken;
  ASSERT_TRUE(q.get(taken));
  EXPECT_EQ(packet_pool().count(), 1024u - 100u);
  taken.release();
  EXPECT_EQ(packet_pool().count(), 1024u - 99u);

  // A cleared queue pins nothing, nor does a destroyed one.
  q.clear();
  EXPECT_TRUE(q.empty());
  EXPECT_EQ(packet_pool().count(), 1024u);
  {
    CleanQueue<Packet, 327> full;
    for (int i = 0; i < 327; ++i) ASSERT_TRUE(full.put(one(uint8_t(i))));
    EXPECT_EQ(packet_pool().count(), 1024u - 327u);
  }
  EXPECT_EQ(packet_pool().count(), 1024u);
}

TEST(CyclicTest, ArithmeticAndWindowsModulo128) {
  EXPECT_EQ(unsigned(Seq(130)), 2u);
  Seq a(127), b(0), c(127);
  EXPECT_EQ(unsigned(++a), 0u);
  EXPECT_EQ(unsigned(--b), 127u);
  EXPECT_EQ(unsigned(c++), 127u);
  EXPECT_EQ(unsigned(c), 0u);
  EXPECT_EQ(unsigned(Seq(5) - Seq(10)), 123u);
  EXPECT_EQ(unsigned(Seq(120) + Seq(10)), 2u);

  EXPECT_TRUE(Seq(125) <= Seq(127) <= Seq(2));
  EXPECT_FALSE(Seq(125) <= Seq(3) <= Seq(2));
  EXPECT_TRUE(Seq(5) <= Seq(5) <= Seq(5));
  // A window from a to a - 1 is the whole ring.
  EXPECT_TRUE(Seq(3) <= Seq(2) <= Seq(2));
  EXPECT_TRUE(Seq(125) <= Seq(2) <= Seq(2));
  EXPECT_TRUE(Seq(125) <= Seq(125) <= Seq(2));
  EXPECT_TRUE(Seq(0) <= Seq(126) <= Seq(127));
  EXPECT_FALSE(Seq(1) <= Seq(0) <= Seq(127));
  EXPECT_FALSE(Seq(10) <= Seq(9) <= Seq(8));
}

}  // namespace
