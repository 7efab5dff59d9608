#include "radio/SigProto.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "radio/tests/Bytes.h"

namespace {

Bytes packed(const sig_proto& p, int len = 300) {
  Bytes buf(size_t(len), 0xEE);
  const int n = sig_proto_pack(&p, buf.data(), len);
  buf.resize(size_t(n > 0 ? n : 0));
  return buf;
}

sig_proto record(
    uint32_t type, const std::function<void(sig_proto&)>& fill = [](sig_proto&) {}) {
  sig_proto p;
  sig_proto_init(&p);
  p.type = type;
  fill(p);
  return p;
}

in_addr addr(const char* text) {
  in_addr a{};
  inet_aton(text, &a);
  return a;
}

TEST(SigProto, EveryTypeByteForByteBothWays) {
  const struct {
    sig_proto p;
    const char* wire;
  } cases[] = {
      {record(GW_FLAG_PTT,
              [](sig_proto& p) { p.priority = 5, p.flag_p = 1, p.status = 300, p.flag_c = 2, p.flag_rs = 1; }),
       "03 54 09 65"},
      {record(WM_FLAG,
              [](sig_proto& p) {
                p.flag_t = p.flag_r = p.flag_s = p.flag_b = p.flag_rv = p.flag_sh = p.flag_pw = p.flag_rs = 1;
                p.status = 511, p.flag_c = 3;
              }),
       "81 0B FF FF"},
      {record(GW_ADJUST_CHAN,
              [](sig_proto& p) {
                p.priority = 15, p.payload.gw_adjust_chan = {7, 145.5f};
              }),
       "02 F0 00 00 00 00 00 07 43 11 80 00"},
      {record(GW_SEL_CALL,
              [](sig_proto& p) {
                p.payload.gw_sel_call = {3, "123"};
              }),
       "09 00 00 00 03 31 32 33"},
      {record(GW_SEL_CALL,
              [](sig_proto& p) {
                p.payload.gw_sel_call = {4, "1234"};
              }),
       "09 00 00 00 04 31 32 33 34 00 00 00"},
      {record(GW_SELECT_RC_CHAN,
              [](sig_proto& p) {
                p.payload.gw_select_rc_chan = {2, 3};
              }),
       "0A 00 00 00 02 03 00 00"},
      {record(GW_ADJUST_SQUELSHE, [](sig_proto& p) { p.payload.gw_adjust_squelsh = {5}; }), "0B 00 00 00 05 00 00 00"},
      {record(GW_ADJUST_RTE, [](sig_proto& p) { p.payload.gw_adjust_rte = {6}; }), "0C 00 00 00 06 00 00 00"},
      {record(GW_ADJUST_STANDBY, [](sig_proto& p) { p.payload.gw_adjust_standby = {1}; }), "0D 00 00 00 01 00 00 00"},
      {record(WM_TRANS,
              [](sig_proto& p) {
                p.payload.wm_trans = {addr("10.1.2.3"), 258};
              }),
       "82 00 00 00 03 02 01 0A 00 00 01 02"},
      {record(WM_RADIO_QUALITY, [](sig_proto& p) { p.payload.wm_radio_quality = {-1.5f}; }), "83 00 00 00 BF C0 00 00"},
      {record(WM_CHAN,
              [](sig_proto& p) {
                p.payload.wm_chan = {0x01020304, 0.0f, 255, 7};
              }),
       "84 00 00 00 01 02 03 04 00 00 00 00 FF 07 00 00"},
      {record(WM_SEL_CALL_TRANS,
              [](sig_proto& p) {
                p.payload.wm_sel_call_trans = {addr("192.168.1.20"), 0xDEADBEEF, 2, "AB"};
              }),
       "85 00 00 00 14 01 A8 C0 DE AD BE EF 02 41 42 00"},
      {record(WM_SELECT_RC_CHAN,
              [](sig_proto& p) {
                p.payload.wm_select_rc_chan = {9, 8};
              }),
       "86 00 00 00 09 08 00 00"},
      {record(WM_STANDBY,
              [](sig_proto& p) {
                p.payload.wm_standby = {0, 2, 1};
              }),
       "87 00 00 00 00 02 01 00"},
  };
  for (const auto& c : cases) {
    const Bytes wire = hex(c.wire);
    EXPECT_EQ(packed(c.p), wire) << c.wire;
    sig_proto back;
    sig_proto_init(&back);
    ASSERT_EQ(sig_proto_unpack(&back, wire.data(), int(wire.size())), 0) << c.wire;
    EXPECT_EQ(packed(back), wire) << c.wire;
  }
  // A type without a payload layout, valid or not, is the header alone.
  EXPECT_EQ(packed(record(200)), hex("C8 00 00 00"));
}

TEST(SigProto, SizesAndErrorReturns) {
  unsigned char buf[32];
  sig_proto three = record(GW_SEL_CALL, [](sig_proto& p) { p.payload.gw_sel_call = {3, "123"}; });
  EXPECT_EQ(sig_proto_pack(&three, buf, 14), -EBADF);
  EXPECT_EQ(buf[0], GW_SEL_CALL);  // the header stays written
  EXPECT_EQ(sig_proto_pack(&three, buf, 15), 8);
  sig_proto four = record(GW_SEL_CALL, [](sig_proto& p) { p.payload.gw_sel_call = {4, "1234"}; });
  EXPECT_EQ(sig_proto_pack(&four, buf, 15), -EBADF);
  EXPECT_EQ(sig_proto_pack(&four, buf, 16), 12);
  EXPECT_EQ(sig_proto_pack(&four, buf, 3), -EBADF);
  EXPECT_EQ(sig_proto_pack(nullptr, buf, 16), 0);
  EXPECT_EQ(sig_proto_pack(&four, nullptr, 16), 0);
  EXPECT_EQ(sig_proto_unpack(nullptr, buf, 16), -E2BIG);
  EXPECT_EQ(sig_proto_unpack(&four, nullptr, 16), -E2BIG);

  // A shortfall leaves the record as it was.
  const sig_proto before = four;
  for (const char* wire : {"0A 00 00 00 02 03", "09 00 00 00 05 31 32 33 34", "85 00 00 00 01 02 03 04 05 06 07 08",
                           "84 00 00 00 01 02 03 04 00 00 00 00 FF", "09 00 00"}) {
    const Bytes in = hex(wire);
    EXPECT_EQ(sig_proto_unpack(&four, in.data(), int(in.size())), -EBADF) << wire;
    EXPECT_EQ(std::memcmp(&four, &before, sizeof four), 0) << wire;
  }
  const Bytes notType = hex("0E 54 09 65");
  EXPECT_EQ(sig_proto_unpack(&four, notType.data(), 4), -ENOEXEC);
  EXPECT_EQ(four.type, 14u);
  EXPECT_EQ(four.priority, 0u);

  // Payload members a type does not carry keep their values; the source words are never written.
  sig_proto p = record(0, [](sig_proto& r) { r.src_addr = 0x0A000001; });
  const Bytes chan = hex("02 00 00 00 00 00 00 07 43 11 80 00"), flag = hex("81 00 00 00");
  sig_proto_unpack(&p, chan.data(), 12);
  sig_proto_unpack(&p, flag.data(), 4);
  EXPECT_EQ(p.payload.gw_adjust_chan.id, 7u);
  EXPECT_EQ(p.src_addr, 0x0A000001u);

  sig_proto a = record(WM_FLAG), b = record(WM_TRANS, [](sig_proto&r) { r.src_addr = 3; });
  EXPECT_EQ(cmp_sig_proto_header(&a, &b), 1);  // b minus a of the type first
  a.type = WM_TRANS;
  EXPECT_EQ(cmp_sig_proto_header(&a, &b), 3);
  EXPECT_EQ(cmp_sig_proto_header(nullptr, &b), -1);
  EXPECT_STREQ(sig_proto_type_name(WM_SEL_CALL_TRANS), "WM_SEL_CALL_TRANS");
  EXPECT_STREQ(sig_proto_type_name(14), "");
}

TEST(SigProto, UnpackerTakesEveryLengthOfRandomOctets) {
  Bytes types;
  for (const sig_proto_packet_name* row = sig_proto_packet_const_name; row->type >= 0; ++row)
    types.push_back(uint8_t(row->type));
  sig_proto p;
  sig_proto_init(&p);
  feedEveryLength(types, [&p](const uint8_t* buf, int len) {
    const int r = sig_proto_unpack(&p, buf, len);
    ASSERT_TRUE(r == 0 || r == -EBADF || r == -ENOEXEC) << r;
    if (r == 0 && buf[0] == GW_SEL_CALL) {
      ASSERT_EQ(p.payload.gw_sel_call.callerID[p.payload.gw_sel_call.callerID_length], 0);
    }
  });
}

}  // namespace
