#include <gtest/gtest.h>

#include <new>
#include <sstream>
#include <vector>

#include "foundation/packet/tests/PoolGuard.h"

namespace {

Packet bytes(std::initializer_list<uint8_t> list) {
  Packet p;
  p.reserve_head(0);
  for (uint8_t b : list) p.put(b);
  return p;
}

using PacketLayout = PoolGuard;
using PacketSharing = PoolGuard;
using PacketPool = PoolGuard;
using PacketDeathTest = PoolGuard;

TEST_F(PacketLayout, ReserveGivesHeadroomOrTailroom) {
  Packet a;
  a.reserve_head(0);
  EXPECT_EQ(a.headroom(), 0u);
  EXPECT_EQ(a.length(), 0u);
  EXPECT_EQ(a.tailroom(), 65536u);
  a.reserve_head(4);
  EXPECT_EQ(a.headroom(), 4u);
  EXPECT_EQ(a.length(), 0u);

  Packet b;
  b.reserve_tail(0);
  EXPECT_EQ(b.headroom(), 65536u);
  EXPECT_EQ(b.tailroom(), 0u);
  b.reserve_tail(10);
  EXPECT_EQ(b.headroom(), 65526u);
  EXPECT_EQ(b.tailroom(), 10u);

  Packet c;
  c.reserve_head(65536);
  EXPECT_EQ(c.headroom(), 65536u);
  EXPECT_EQ(c.tailroom(), 0u);
}

TEST_F(PacketLayout, BytesAndWordsInBothOrders) {
  Packet p;
  p.reserve_head(2);
  p.put16_b(0x1234);
  p.put16(0x1234);
  EXPECT_EQ(p.text(), "12 34 34 12");

  Packet q = bytes({0xAA});
  q.reserve_tail(0);
  Packet r;
  r.reserve_head(2);
  r.put(0xAA);
  r.push16_b(0x1234);
  EXPECT_EQ(r.text(), "12 34 AA");
  EXPECT_EQ(r.headroom(), 0u);

  Packet one = bytes({0x12});
  EXPECT_EQ(one.pull16_b(), 0x1200);
  EXPECT_EQ(one.length(), 0u);
  Packet two = bytes({0x12});
  EXPECT_EQ(two.pull16_l(), 0x0012);

  Packet empty = bytes({});
  EXPECT_EQ(empty.pull(), 0);
  EXPECT_EQ(empty.length(), 0u);
  EXPECT_EQ(empty.tailroom(), 65536u);

  Packet four = bytes({1, 2, 3, 4});
  EXPECT_EQ(four.pull16_b(), 0x0102);
  EXPECT_EQ(four.pull16_l(), 0x0403);
}

TEST_F(PacketLayout, StringsCarryALengthByteModulo256) {
  std::string long_text(300, 'x');
  Packet p = bytes({});
  p.put(long_text);
  ASSERT_EQ(p.length(), 301u);
  EXPECT_EQ(p.data()[0], 44);
  EXPECT_EQ(p.data()[300], 'x');

  Packet q = bytes({});
  q.put(std::string("abc"));
  q.put(0x7F);
  EXPECT_EQ(q.pull_string(), "abc");
  EXPECT_EQ(q.length(), 1u);

  // A length byte that promises more than is there reads the rest as 0.
  Packet short_one = bytes({3, 'a'});
  EXPECT_EQ(short_one.pull_string(), std::string("a\0\0", 3));
  EXPECT_EQ(bytes({}).pull_string(), "");
}

TEST_F(PacketLayout, TailEditsAndAppendedPackets) {
  Packet p = bytes({1, 2, 3});
  p.cut_tail(2);
  EXPECT_EQ(p.text(), "01");
  const uint8_t more[] = {9, 8};
  p.put(more, 2);
  p.tail()[0] = 7;
  p.extend_tail(1);
  EXPECT_EQ(p.text(), "01 09 08 07");

  Packet q = bytes({0xAB});
  q.put(p);
  EXPECT_EQ(q.text(), "AB 01 09 08 07");
  q.put(Packet());
  EXPECT_EQ(q.length(), 5u);
  q.put(q);
  EXPECT_EQ(q.text(), "AB 01 09 08 07 AB 01 09 08 07");
  q[0] = 0xCD;
  EXPECT_EQ(q.data()[0], 0xCD);
}

TEST_F(PacketLayout, SubCopiesTheWindowIntoItsOwnBuffer) {
  Packet p = bytes({1, 2, 3, 4});
  unsigned before = packet_pool().count();
  Packet s = p.sub(2, 1);
  EXPECT_EQ(s.text(), "02 03");
  EXPECT_NE(s.data(), p.data() + 1);
  EXPECT_EQ(packet_pool().count(), before - 1);
  EXPECT_EQ(p.sub(0, 4).length(), 0u);
}

TEST_F(PacketSharing, WriteThroughOneHandleCopiesTheBuffer) {
  Packet a = bytes({1, 2});
  Packet b = a;
  EXPECT_EQ(a.data(), b.data());
  unsigned before = packet_pool().count();
  b.put(3);
  EXPECT_EQ(packet_pool().count(), before - 1);
  EXPECT_EQ(a.text(), "01 02");
  EXPECT_EQ(b.text(), "01 02 03");
  EXPECT_EQ(b.headroom(), a.headroom());

  // Reading never unshares.
  Packet c = a;
  EXPECT_EQ(c.length(), 2u);
  (void)c.text();
  EXPECT_EQ(c.data(), a.data());
  EXPECT_EQ(packet_pool().count(), before - 1);

  // A pull on a shared buffer leaves the other handle whole.
  EXPECT_EQ(c.pull(), 1);
  EXPECT_EQ(a.text(), "01 02");
  EXPECT_EQ(c.text(), "02");
}

TEST_F(PacketSharing, ReleaseAndSelfAssignment) {
  Packet a = bytes({5});
  const uint8_t* where = a.data();
  a = a;
  EXPECT_EQ(a.data(), where);
  EXPECT_EQ(a.text(), "05");

  Packet b = a;
  a.release();
  EXPECT_TRUE(a.null());
  EXPECT_EQ(a.length(), 0u);
  EXPECT_EQ(b.text(), "05");
  b = Packet();
  EXPECT_EQ(packet_pool().count(), 1024u);
}

TEST_F(PacketPool, ExhaustionThrowsAndARelesedBlockComesBackFirst) {
  std::vector<Packet> held(1024);
  for (Packet& p : held) p.reserve_head(0);
  EXPECT_EQ(packet_pool().count(), 0u);

  Packet extra;
  EXPECT_THROW(extra.reserve_head(0), std::bad_alloc);
  EXPECT_THROW(extra.reserve_tail(0), std::bad_alloc);
  EXPECT_TRUE(extra.null());

  // Unsharing needs a block too; the shared buffer stays as it was.
  held[0].put(0x42);
  Packet shared = held[0];
  EXPECT_THROW(shared.put(0x43), std::bad_alloc);
  EXPECT_EQ(shared.text(), "42");
  EXPECT_EQ(held[0].data(), shared.data());
  shared.release();

  const uint8_t* freed = held[500].data();
  held[500].release();
  extra.reserve_head(0);
  EXPECT_EQ(extra.data(), freed);
}

TEST_F(PacketPool, BlocksAreReusedInTheOrderTheyWereFreed) {
  Packet a = bytes({}), b = bytes({}), c = bytes({});
  const uint8_t* first = b.data();
  const uint8_t* second = a.data();
  b.release();
  a.release();
  // Everything else in the pool is older in the free list.
  std::vector<Packet> rest(packet_pool().count() - 2);
  for (Packet& p : rest) p.reserve_head(0);
  Packet x = bytes({}), y = bytes({});
  EXPECT_EQ(x.data(), first);
  EXPECT_EQ(y.data(), second);
}

TEST_F(PacketDeathTest, BrokenInvariantsEndTheProcessWithAReport) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(Packet().reserve_head(65537), "PACKET ASSERTION FAILED!\nlength>packet_max_size\n\\(null\\)\n");
  EXPECT_DEATH(Packet().put(1), "PACKET ASSERTION FAILED!\nnull packet\n\\(null\\)");
  EXPECT_DEATH(
      {
        Packet p;
        p.reserve_tail(1);
        p.put(0xAB);
        p.put(0xCD);
      },
      "len<=_tailroom\\(\\)\nhead=65535, data=1, tail=0\ndump:\n ab\n\n");
  EXPECT_DEATH(bytes({1}).push(0), "len<=_headroom\\(\\)\nhead=0, data=1, tail=65535");
  EXPECT_DEATH(bytes({1, 2}).sub(2, 1), "start\\+len<=_length\\(\\)");
  EXPECT_DEATH(
      {
        Packet p;
        p.reserve_head(10);
        p.reserve_head(65530);
      },
      "new_len>packet_max_size|len<=_tailroom");
  EXPECT_DEATH(
      {
        Packet p;
        p.reserve_tail(10);
        p.reserve_tail(65530);
      },
      "_tailroom\\(\\)\\+len <= packet_max_size");
  EXPECT_DEATH(
      {
        // A window may not be moved past the front of the buffer.
        Packet p;
        p.reserve_head(2);
        p.put(1);
        p.reserve_tail(3);
      },
      "len<=_headroom");
  EXPECT_DEATH(check_fail("after \"%s\" fdata invalid", "put"), "packet check fail\nafter \"put\" fdata invalid\nterminate.");
}

}  // namespace
