#include "media/Rtcp.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "media/tests/Tshark.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes encoded(const RTPC::Msg& msg, unsigned size = 1024) {
  std::vector<char> buf(size);
  const unsigned n = msg.encode(buf.data(), size);
  return Bytes(buf.begin(), buf.begin() + n);
}

Bytes concat(Bytes head, const std::string& text) {
  head.insert(head.end(), text.begin(), text.end());
  return head;
}

RTPC::SDES sessionStart(uint32_t ssrc) {
  RTPC::SDES sdes(ssrc);
  sdes.add(RTPC::SDES::Item::CNAME, "Sandrix Quorvanta");
  sdes.add(RTPC::SDES::Item::EMAIL, "support@example.net");
  sdes.add(RTPC::SDES::Item::PHONE, "+44 20 7946 0000");
  return sdes;
}

TEST(Rtcp, SdesAndByeAsRfc3550LaysThemOut) {
  RTPC::SDES sdes(1);
  sdes.add(RTPC::SDES::Item::CNAME, "abc");
  EXPECT_EQ(encoded(sdes), (Bytes{0x81, 0xCA, 0, 3, 0, 0, 0, 1, 1, 3, 'a', 'b', 'c', 0, 0, 0}));

  EXPECT_EQ(encoded(RTPC::BYE(0x01020304, "session end")), concat({0x81, 0xCB, 0, 4, 1, 2, 3, 4, 11}, "session end"));
  // Without a reason the packet ends after the SSRC.
  EXPECT_EQ(encoded(RTPC::BYE(7, "")), (Bytes{0x81, 0xCB, 0, 1, 0, 0, 0, 7}));

  RTPC::SDES longText(2);
  longText.add(RTPC::SDES::Item::NOTE, std::string(300, 'x'));
  const Bytes note = encoded(longText);
  ASSERT_EQ(note.size(), 268u);  // 8 + 2 + 255, the end octet and two of padding
  EXPECT_EQ(note[8], 7);
  EXPECT_EQ(note[9], 255);
  EXPECT_EQ(note[264], 'x');
  EXPECT_EQ(note[265], 0);

  char small[7];
  EXPECT_EQ(sdes.encode(small, sizeof small), 0u);
}

// Checks a packet's own structure: the length word, and every SDES item or
// BYE reason inside it.
void expectWellFormed(const Bytes& p, unsigned size) {
  ASSERT_LE(p.size(), size);
  ASSERT_EQ(p.size() % 4, 0u);
  ASSERT_GE(p.size(), 8u);
  EXPECT_EQ(0x80u, p[0] & 0xE0u);
  EXPECT_EQ((p[2] << 8 | p[3]) + 1u, p.size() / 4);
  if (p[1] == 203 && p.size() > 8) {
    EXPECT_LE(9u + p[8], p.size());
  }
  if (p[1] == 203 || p.size() == 8) return;
  size_t at = 8;
  while (at < p.size() && p[at] != 0) at += 2 + p[at + 1];
  EXPECT_LT(at, p.size()) << "item list not ended inside the packet";
}

TEST(Rtcp, EncoderStaysInsideEveryBufferSize) {
  RTPC::SDES longItems(3);
  for (int i = 0; i < 6; ++i) longItems.add(RTPC::SDES::Item::NOTE, std::string(37 * i + 1, char('a' + i)));
  RTPC::SDES oneLong(4);
  oneLong.add(RTPC::SDES::Item::NAME, std::string(300, 'n'));
  std::vector<std::unique_ptr<RTPC::Msg>> messages;
  messages.emplace_back(new RTPC::SDES(sessionStart(5)));
  messages.emplace_back(new RTPC::SDES(longItems));
  messages.emplace_back(new RTPC::SDES(oneLong));
  messages.emplace_back(new RTPC::BYE(6, "session end"));
  messages.emplace_back(new RTPC::BYE(6, std::string(300, 'r')));
  constexpr unsigned Guard = 64;
  for (const auto& msg : messages) {
    for (unsigned size = 0; size <= 1100; ++size) {
      std::vector<char> buf(size + Guard, char(0xA5));
      const unsigned n = msg->encode(buf.data(), size);
      for (unsigned i = size; i < size + Guard; ++i) ASSERT_EQ(buf[i], char(0xA5)) << "size " << size;
      if (size < 8) {
        ASSERT_EQ(n, 0u);
        continue;
      }
      expectWellFormed(Bytes(buf.begin(), buf.begin() + n), size);
    }
  }
}

TEST(Rtcp, TsharkReadsSdesAndBye) {
  if (!Tshark::available()) GTEST_SKIP() << Tshark::missing();
  const auto capture = Tshark::writeCapture(
      "rtcp", 5005, {encoded(sessionStart(0x11223344)), encoded(RTPC::BYE(0x11223344, "session end"))});
  const auto lines = Tshark::fields(
      capture, "-d udp.port==5005,rtcp",
      {"rtcp.version", "rtcp.pt", "rtcp.length", "rtcp.ssrc.identifier", "rtcp.sdes.type", "rtcp.sdes.length",
       "rtcp.sdes.text", "rtcp.length_check", "_ws.malformed", "_ws.expert.message"});
  ASSERT_EQ(lines.size(), 2u);
  // Version, type, length in words minus one, SSRC, the items (0 ends the
  // list), the length check passed, nothing malformed and no expert remark.
  EXPECT_EQ(lines[0],
            "2\t202\t16\t0x11223344\t1,3,4,0\t17,19,16\t"
            "Sandrix Quorvanta,support@example.net,+44 20 7946 0000\t1\t\t");
  EXPECT_EQ(lines[1], "2\t203\t4\t0x11223344\t\t11\tsession end\t1\t\t");
}

}  // namespace
