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
  a.reserve_head(4);
  EXPECT_EQ(a.headroom(), 4u);
  EXPECT_EQ(a.tailroom(), 65532u);
  Packet b;
  b.reserve_tail(10);
  EXPECT_EQ(b.headroom(), 65526u);
  EXPECT_EQ(b.tailroom(), 10u);
  Packet c;
  c.reserve_head(65536);
  EXPECT_EQ(c.tailroom(), 0u);
}

TEST_F(PacketLayout, BytesWordsAndStringsInBothOrders) {
  Packet p;
  p.reserve_head(2);
  p.put16_b(0x1234);
  p.put16(0x1234);
  p.push16_b(0xABCD);
  EXPECT_EQ(p.text(), "AB CD 12 34 34 12");
  EXPECT_EQ(p.headroom(), 0u);

  Packet four = bytes({1, 2, 3, 4});
  EXPECT_EQ(four.pull16_b(), 0x0102);
  EXPECT_EQ(four.pull16_l(), 0x0403);
  // Reads past the end give zeros and leave the packet empty.
  EXPECT_EQ(bytes({0x12}).pull16_b(), 0x1200);
  EXPECT_EQ(bytes({0x12}).pull16_l(), 0x0012);
  EXPECT_EQ(bytes({}).pull(), 0);

  // A string carries its length modulo 256 in one byte.
  Packet q = bytes({});
  q.put(std::string(300, 'x'));
  ASSERT_EQ(q.length(), 301u);
  EXPECT_EQ(q.data()[0], 44);
  Packet r = bytes({});
  r.put(std::string("abc"));
  r.put(0x7F);
  EXPECT_EQ(r.pull_string(), "abc");
  EXPECT_EQ(r.length(), 1u);
  // A length byte that promises more than is there reads the rest as 0.
  EXPECT_EQ(bytes({3, 'a'}).pull_string(), std::string("a\0\0", 3));
  EXPECT_EQ(bytes({}).pull_string(), "");
}

TEST_F(PacketLayout, TailEditsAppendedPacketsAndSubCopies) {
  Packet p = bytes({1, 2, 3});
  p.cut_tail(2);
  const uint8_t more[] = {9, 8};
  p.put(more, 2);
  p.tail()[0] = 7;
  p.extend_tail(1);
  EXPECT_EQ(p.text(), "01 09 08 07");

  Packet q = bytes({0xAB});
  q.put(p);
  q.put(Packet());
  q.put(q);
  EXPECT_EQ(q.text(), "AB 01 09 08 07 AB 01 09 08 07");

  unsigned before = packet_pool().count();
  Packet s = p.sub(2, 1);
  EXPECT_EQ(s.text(), "09 08");
  EXPECT_EQ(packet_pool().count(), before - 1) << "a sub-packet has a buffer of its own";
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
  (void)c.text();
  EXPECT_EQ(c.data(), a.data());

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
  Packet b = a;
  a.release();
  EXPECT_TRUE(a.null());
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
  EXPECT_DEATH(check_fail("after \"%s\" fdata invalid", "put"),
               "packet check fail\nafter \"put\" fdata invalid\nterminate.");
}

}  // namespace
