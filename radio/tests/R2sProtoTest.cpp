#include "radio/R2sProto.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

#include "media/tests/Tshark.h"
#include "radio/tests/Bytes.h"

namespace {

struct Case {
  const char* name;
  bool rx;
  std::function<void(r2s_proto&)> build;
  const char* wire;
};

r2s_proto built(const Case& c) {
  r2s_proto p;
  r2s_proto_init(&p, c.rx ? R2S_PROTO_RX : R2S_PROTO_TX);
  c.build(p);
  return p;
}

Bytes packed(const r2s_proto& p, bool rx) {
  Bytes buf(64);
  const int n = (rx ? r2s_proto_pack_rx : r2s_proto_pack_tx)(&p, buf.data(), int(buf.size()));
  buf.resize(size_t(n > 0 ? n : 0));
  return buf;
}

// Each block with values that put a distinct bit pattern on the wire.
const r2s_proto_rx_additional_rrc shortRrc = {1, 0, 1, 0, 0, 0, 0, 1, 0, 1, 1, 9, 9};
const r2s_proto_rx_additional_rrc longRrc = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0x12, 0x34};
const r2s_proto_rx_additional_mam mam = {1, 0x123456, 0, 0x7FFFFF, 0xABCD, 0x0102, 0xFFFF};
const r2s_proto_tx_additional_climax_time_delay delay = {10};
const r2s_proto_tx_additional_rrc txRrc = {0, 1, 0, 0, 0, 0, 0, 0};
const r2s_proto_tx_additional_rrm rrm = {0, 0x7FFFFF};

const Case cases[] = {
    {"rx header", true, [](r2s_proto& p) { r2s_proto_set_rx_header(&p, 1, 1, 5, 0, 0, 0); }, "31 40 00 00"},
    {"rx flags", true, [](r2s_proto& p) { r2s_proto_set_rx_header(&p, 7, 1, 63, 1, 1, 1); }, "FF F8 00 00"},
    {"rx sqi", true,
     [](r2s_proto& p) { r2s_proto_set_rx_header(&p, 1, 1, 5, 0, 0, 0), r2s_proto_add_rx_sqi(&p, 20, 1); },
     "31 41 11 A1"},
    {"rx short rrc", true, [](r2s_proto& p) { r2s_proto_add_rx_rrc(&p, &shortRrc); }, "00 01 31 A1"},
    {"rx long rrc", true, [](r2s_proto& p) { r2s_proto_add_rx_rrc(&p, &longRrc); }, "00 01 34 FF 80 12 34"},
    {"rx mam", true, [](r2s_proto& p) { r2s_proto_add_rx_mam(&p, &mam); },
     "00 01 4C 92 34 56 7F FF FF AB CD 01 02 FF FF"},
    {"tx header", false, [](r2s_proto& p) { r2s_proto_set_tx_header(&p, 2, 33, 1, 1); }, "48 70 00 00"},
    {"tx climax", false,
     [](r2s_proto& p) { r2s_proto_set_tx_header(&p, 1, 0, 0, 0), r2s_proto_add_tx_time_delay(&p, &delay); },
     "20 01 21 0A"},
    {"tx rrc", false, [](r2s_proto& p) { r2s_proto_add_tx_rrc(&p, &txRrc); }, "00 01 31 40"},
    {"tx rrm", false, [](r2s_proto& p) { r2s_proto_add_tx_rrm(&p, &rrm); }, "00 01 43 7F FF FF"},
};

TEST(R2sProto, EveryHeaderAndBlockByteForByteBothWays) {
  for (const Case& c : cases) {
    const Bytes wire = hex(c.wire);
    EXPECT_EQ(packed(built(c), c.rx), wire) << c.name;
    r2s_proto back;
    r2s_proto_init(&back, 0);
    ASSERT_EQ((c.rx ? r2s_proto_unpack_rx : r2s_proto_unpack_tx)(&back, wire.data(), int(wire.size())), 0) << c.name;
    EXPECT_EQ(packed(back, c.rx), wire) << c.name;
  }
  r2s_proto p;
  // A block of the other direction takes no octets.
  r2s_proto_init(&p, R2S_PROTO_TX);
  r2s_proto_add_rx_sqi(&p, 20, 1);
  EXPECT_EQ(packed(p, false), hex("00 01"));
}

TEST(R2sProto, ErrorReturnsAndBlockLimits) {
  unsigned char buf[64];
  r2s_proto p;
  r2s_proto_init(&p, R2S_PROTO_NONE);
  EXPECT_EQ(r2s_proto_pack(&p, buf, 64), -ENOEXEC);
  EXPECT_EQ(r2s_proto_pack(nullptr, buf, 64), -E2BIG);
  EXPECT_EQ(r2s_proto_pack_tx(nullptr, buf, 64), 0);
  EXPECT_EQ(r2s_proto_pack_rx(&p, nullptr, 64), 0);
  EXPECT_EQ(r2s_proto_pack_rx(&p, buf, 1), -EBADF);
  EXPECT_EQ(r2s_proto_pack_rx(&p, buf, 3), -EBADF);
  r2s_proto_set_rx_header(&p, 1, 1, 5, 0, 0, 0);
  EXPECT_EQ(r2s_proto_pack(&p, buf, 4), 4);
  // A short RRC counts the five octets of the long form.
  const r2s_proto_rx_additional_rrc shortRrc = {};
  r2s_proto_add_rx_rrc(&p, &shortRrc);
  EXPECT_EQ(r2s_proto_pack_rx(&p, buf, 4), -EBADF);
  EXPECT_EQ(r2s_proto_pack_rx(&p, buf, 7), 4);
  p.blocks[0].f[8] = 2;
  EXPECT_EQ(r2s_proto_pack_rx(&p, buf, 64), -ENOEXEC);

  EXPECT_EQ(r2s_proto_unpack_rx(nullptr, buf, 4), -E2BIG);
  EXPECT_EQ(r2s_proto_unpack_tx(&p, nullptr, 4), -E2BIG);
  EXPECT_EQ(r2s_proto_unpack_tx(&p, buf, 1), -EBADF);
  const struct {
    const char* wire;
    int result;
    unsigned count;
  } inputs[] = {
      {"20 01 43 01 02", -EBADF, 0},         // the RRM's data cut off
      {"20 01 21 05 43 01", -EBADF, 1},      // cut after one good block
      {"20 01 21 05 52 AA BB 21 06", 0, 2},  // an unknown block skipped by its length
      {"20 00 21 05", 0, 0},                 // no blocks announced: the rest is ignored
      {"20 01 00 00 21 07", 0, 1},           // zero octets are empty blocks
  };
  for (const auto& in : inputs) {
    const Bytes wire = hex(in.wire);
    EXPECT_EQ(r2s_proto_unpack_tx(&p, wire.data(), int(wire.size())), in.result) << in.wire;
    EXPECT_EQ(p.count, in.count) << in.wire;
  }
  const Bytes skipped = hex("20 01 21 05 52 AA BB 21 06");
  r2s_proto_unpack_tx(&p, skipped.data(), int(skipped.size()));
  EXPECT_EQ(p.blocks[1].f[0], 6u);

  // Sixteen blocks are read; a seventeenth, even a broken one, is not.
  Bytes many = hex("20 01");
  for (uint8_t i = 1; i <= 16; ++i) many.insert(many.end(), {0x21, i});
  many.push_back(0x21);
  EXPECT_EQ(r2s_proto_unpack_tx(&p, many.data(), int(many.size())), 0);
  EXPECT_EQ(p.count, 16u);
  EXPECT_EQ(p.blocks[15].f[0], 16u);
  r2s_proto_add_rx_sqi(&p, 1, 1);
  EXPECT_EQ(p.count, 16u);

  r2s_proto a, b;
  r2s_proto_init(&a, R2S_PROTO_RX);
  r2s_proto_init(&b, R2S_PROTO_RX);
  b.src_addr = 5;
  EXPECT_EQ(cmp_r2s_proto_source(&a, &b), 5);
  b.src_ssrc = 9;  // the SSRC counts before the address
  EXPECT_EQ(cmp_r2s_proto_source(&a, &b), 9);
  EXPECT_EQ(cmp_r2s_proto_source(&a, nullptr), -1);
}

TEST(R2sProto, UnpackersTakeEveryLengthOfRandomOctets) {
  r2s_proto p;
  r2s_proto_init(&p, R2S_PROTO_NONE);
  feedEveryLength({}, [&p](const uint8_t* buf, int len) {
    for (auto unpack : {r2s_proto_unpack_tx, r2s_proto_unpack_rx}) {
      const int r = unpack(&p, buf, len);
      ASSERT_TRUE(r == 0 || r == -EBADF) << r;
      ASSERT_LE(p.count, R2S_PROTO_MAX_BLOCKS);
    }
  });
}

// An RTP packet (PT 8, no CSRC) carrying the block in its header extension
// under the ED-137 profile 0x0167, padded to whole words, and 20 octets of voice.
Bytes rtpWithExtension(const Bytes& block) {
  const size_t words = (block.size() + 3) / 4;
  Bytes rtp = {0x90, 0x08, 0x00, 0x01, 0, 0, 0, 160, 0x12, 0x34, 0x56, 0x78, 0x01, 0x67, 0, uint8_t(words)};
  rtp.insert(rtp.end(), block.begin(), block.end());
  rtp.resize(16 + 4 * words + 20, 0xD5);
  std::fill(rtp.begin() + 16 + long(block.size()), rtp.begin() + 16 + long(4 * words), 0);
  return rtp;
}

TEST(R2sProto, TsharkReadsOurHeadersInRtp) {
  if (!Tshark::available()) GTEST_SKIP() << Tshark::missing();
  r2s_proto rx;
  r2s_proto_init(&rx, R2S_PROTO_RX);
  r2s_proto_set_rx_header(&rx, 3, 1, 45, 1, 0, 1);
  r2s_proto_add_rx_sqi(&rx, 20, 1);
  r2s_proto tx;
  r2s_proto_init(&tx, R2S_PROTO_TX);
  r2s_proto_set_tx_header(&tx, 1, 5, 0, 1);
  r2s_proto_add_tx_time_delay(&tx, &delay);
  const auto capture =
      Tshark::writeCapture("ed137", 5004, {rtpWithExtension(packed(rx, true)), rtpWithExtension(packed(tx, false))});
  const auto lines = Tshark::fields(
      capture, "-d udp.port==5004,rtp",
      {"rtp.ext.profile", "rtp.ext.len", "rtp.ext.ed137a.ptt_type", "rtp.ext.ed137a.squ", "rtp.ext.ed137a.ptt_id",
       "rtp.ext.ed137a.pm", "rtp.ext.ed137a.ptts", "rtp.ext.ed137a.sct", "rtp.ext.ed137a.x", "rtp.ext.ed137a.ft.type",
       "rtp.ext.ed137a.ft.len", "rtp.ext.ed137a.ft.sqi.qidx", "rtp.ext.ed137a.ft.sqi.qidx-ml",
       "rtp.ext.ed137a.ft.climax_delay.relative_value", "_ws.malformed"});
  ASSERT_EQ(lines.size(), 2u);
  // Profile, extension words, the six header fields, X, then the feature
  // blocks: the SQI's quality and method, the CLIMAX delay; nothing malformed.
  EXPECT_EQ(lines[0], "0x0167\t1\t3\t1\t45\t1\t0\t1\t1\t0x01\t1\t20\t1\t\t");
  EXPECT_EQ(lines[1], "0x0167\t1\t1\t0\t5\t0\t1\t0\t1\t0x02\t1\t\t\t10\t");
}

}  // namespace
