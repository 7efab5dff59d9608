#include "radio/SigProto.h"

#include <cerrno>
#include <cstring>
#include <limits>

#include "board/Record.h"

static_assert(std::numeric_limits<float>::is_iec559 && sizeof(float) == 4, "floats travel as IEEE-754 singles");

const sig_proto_packet_name sig_proto_packet_const_name[] = {
    {GW_FLAG, "GW_FLAG"},
    {GW_ADJUST_CHAN, "GW_ADJUST_CHAN"},
    {GW_FLAG_PTT, "GW_FLAG_PTT"},
    {GW_FLAG_BSS, "GW_FLAG_BSS"},
    {GW_FLAG_RV, "GW_FLAG_RV"},
    {GW_FLAG_SH, "GW_FLAG_SH"},
    {GW_FLAG_PW, "GW_FLAG_PW"},
    {GW_FLAG_RS, "GW_FLAG_RS"},
    {GW_SEL_CALL, "GW_SEL_CALL"},
    {GW_SELECT_RC_CHAN, "GW_SELECT_RC_CHAN"},
    {GW_ADJUST_SQUELSHE, "GW_ADJUST_SQUELSHE"},
    {GW_ADJUST_RTE, "GW_ADJUST_RTE"},
    {GW_ADJUST_STANDBY, "GW_ADJUST_STANDBY"},
    {WM_FLAG, "WM_FLAG"},
    {WM_TRANS, "WM_TRANS"},
    {WM_RADIO_QUALITY, "WM_RADIO_QUALITY"},
    {WM_CHAN, "WM_CHAN"},
    {WM_SEL_CALL_TRANS, "WM_SEL_CALL_TRANS"},
    {WM_SELECT_RC_CHAN, "WM_SELECT_RC_CHAN"},
    {WM_STANDBY, "WM_STANDBY"},
    {-1, ""},
};

namespace {

constexpr int HeaderLen = 4;

int roundUp4(int n) { return (n + 3) & ~3; }

void putHeader(const sig_proto& p, unsigned char* buf) {
  buf[0] = uint8_t(p.type);
  buf[1] = uint8_t((p.priority & 0xF) << 4 | (p.flag_t & 1) << 3 | (p.flag_p & 1) << 2 | (p.flag_r & 1) << 1 |
                   (p.flag_s & 1));
  buf[2] = uint8_t((p.flag_b & 1) << 7 | (p.flag_rv & 1) << 6 | (p.flag_sh & 1) << 5 | (p.flag_pw & 1) << 4 |
                   (p.status >> 5 & 0xF));
  buf[3] = uint8_t((p.status & 0x1F) << 3 | (p.flag_c & 3) << 1 | (p.flag_rs & 1));
}

void putFloat(Board::RecordWriter& out, size_t at, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  out.u32(at, bits);
}

float getFloat(Board::RecordReader& in, size_t at) {
  const uint32_t bits = in.u32(at);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// The address's octets as they lie in memory (network order), reversed.
void putReversedAddr(Board::RecordWriter& out, size_t at, const in_addr& addr) {
  unsigned char octets[4];
  std::memcpy(octets, &addr.s_addr, sizeof octets);
  for (size_t i = 0; i < 4; ++i) out.u8(at + i, octets[3 - i]);
}

in_addr getReversedAddr(Board::RecordReader& in, size_t at) {
  unsigned char octets[4];
  for (size_t i = 0; i < 4; ++i) octets[3 - i] = in.u8(at + i);
  in_addr addr;
  std::memcpy(&addr.s_addr, octets, sizeof octets);
  return addr;
}

void putCallerId(Board::RecordWriter& out, size_t at, uint8_t length, const char* id) {
  out.u8(at, length);
  for (size_t i = 0; i < length; ++i) out.u8(at + 1 + i, uint8_t(id[i]));
}

// Octets the buffer must offer for the record's type.
int neededLen(const sig_proto& p) {
  switch (p.type) {
    case GW_ADJUST_CHAN:
    case WM_TRANS: return 12;
    case GW_SEL_CALL: return p.payload.gw_sel_call.callerID_length + 12;
    case WM_SEL_CALL_TRANS: return p.payload.wm_sel_call_trans.callerID_length + 20;
    case WM_CHAN: return 16;
    case GW_SELECT_RC_CHAN:
    case GW_ADJUST_SQUELSHE:
    case GW_ADJUST_RTE:
    case GW_ADJUST_STANDBY:
    case WM_RADIO_QUALITY:
    case WM_SELECT_RC_CHAN:
    case WM_STANDBY: return 8;
    default: return HeaderLen;
  }
}

// Writes the payload of a record that fits: the packet's length.
int putPayload(const sig_proto& p, Board::RecordWriter& out) {
  const auto& pl = p.payload;
  switch (p.type) {
    case GW_ADJUST_CHAN:
      out.u32(4, pl.gw_adjust_chan.id);
      putFloat(out, 8, pl.gw_adjust_chan.freq);
      return 12;
    case GW_SEL_CALL:
      putCallerId(out, 4, pl.gw_sel_call.callerID_length, pl.gw_sel_call.callerID);
      return roundUp4(5 + pl.gw_sel_call.callerID_length);
    case GW_SELECT_RC_CHAN:
      out.u8(4, pl.gw_select_rc_chan.interface);
      out.u8(5, pl.gw_select_rc_chan.channel);
      return 8;
    case WM_SELECT_RC_CHAN:
      out.u8(4, pl.wm_select_rc_chan.interface);
      out.u8(5, pl.wm_select_rc_chan.channel);
      return 8;
    case GW_ADJUST_SQUELSHE: out.u8(4, pl.gw_adjust_squelsh.squelsh); return 8;
    case GW_ADJUST_RTE: out.u8(4, pl.gw_adjust_rte.rte); return 8;
    case GW_ADJUST_STANDBY: out.u8(4, pl.gw_adjust_standby.state); return 8;
    case WM_TRANS:
      putReversedAddr(out, 4, pl.wm_trans.session_addr);
      out.u32(8, pl.wm_trans.ssrc);
      return 12;
    case WM_RADIO_QUALITY: putFloat(out, 4, pl.wm_radio_quality.radio_quality); return 8;
    case WM_CHAN:
      out.u32(4, pl.wm_chan.id);
      putFloat(out, 8, pl.wm_chan.freq);
      out.u8(12, pl.wm_chan.squelsh);
      out.u8(13, pl.wm_chan.rte);
      return 16;
    case WM_SEL_CALL_TRANS:
      putReversedAddr(out, 4, pl.wm_sel_call_trans.session_addr);
      out.u32(8, pl.wm_sel_call_trans.ssrc);
      putCallerId(out, 12, pl.wm_sel_call_trans.callerID_length, pl.wm_sel_call_trans.callerID);
      return roundUp4(13 + pl.wm_sel_call_trans.callerID_length);
    case WM_STANDBY:
      out.u8(4, pl.wm_standby.state);
      out.u8(5, pl.wm_standby.group);
      out.u8(6, pl.wm_standby.receiver_state);
      return 8;
    default: return HeaderLen;
  }
}

// A caller ID of the count at `at` and its octets, NUL-terminated in the
// area; false when the buffer ends first.
bool getCallerId(Board::RecordReader& in, int len, int at, uint8_t& length, char* id) {
  if (len < at + 1) return false;
  const uint8_t n = in.u8(size_t(at));
  if (len < at + 1 + n) return false;
  length = n;
  for (size_t i = 0; i < n; ++i) id[i] = char(in.u8(size_t(at) + 1 + i));
  id[n] = '\0';
  return true;
}

// Reads the payload of `type` into `pl`: 0, -EBADF or -ENOEXEC.
int getPayload(uint8_t type, Board::RecordReader& in, int len, decltype(sig_proto::payload)& pl) {
  switch (type) {
    case GW_FLAG:
    case GW_FLAG_PTT:
    case GW_FLAG_BSS:
    case GW_FLAG_RV:
    case GW_FLAG_SH:
    case GW_FLAG_PW:
    case GW_FLAG_RS:
    case WM_FLAG: return 0;
    case GW_ADJUST_CHAN:
      if (len < 12) return -EBADF;
      pl.gw_adjust_chan.id = in.u32(4);
      pl.gw_adjust_chan.freq = getFloat(in, 8);
      return 0;
    case GW_SEL_CALL:
      return getCallerId(in, len, 4, pl.gw_sel_call.callerID_length, pl.gw_sel_call.callerID) ? 0 : -EBADF;
    case GW_SELECT_RC_CHAN:
      if (len < 8) return -EBADF;
      pl.gw_select_rc_chan.interface = in.u8(4);
      pl.gw_select_rc_chan.channel = in.u8(5);
      return 0;
    case WM_SELECT_RC_CHAN:
      if (len < 8) return -EBADF;
      pl.wm_select_rc_chan.interface = in.u8(4);
      pl.wm_select_rc_chan.channel = in.u8(5);
      return 0;
    case GW_ADJUST_SQUELSHE:
      if (len < 8) return -EBADF;
      pl.gw_adjust_squelsh.squelsh = in.u8(4);
      return 0;
    case GW_ADJUST_RTE:
      if (len < 8) return -EBADF;
      pl.gw_adjust_rte.rte = in.u8(4);
      return 0;
    case GW_ADJUST_STANDBY:
      if (len < 8) return -EBADF;
      pl.gw_adjust_standby.state = in.u8(4);
      return 0;
    case WM_TRANS:
      if (len < 12) return -EBADF;
      pl.wm_trans.session_addr = getReversedAddr(in, 4);
      pl.wm_trans.ssrc = in.u32(8);
      return 0;
    case WM_RADIO_QUALITY:
      if (len < 8) return -EBADF;
      pl.wm_radio_quality.radio_quality = getFloat(in, 4);
      return 0;
    case WM_CHAN:
      if (len < 16) return -EBADF;
      pl.wm_chan.id = in.u32(4);
      pl.wm_chan.freq = getFloat(in, 8);
      pl.wm_chan.squelsh = in.u8(12);
      pl.wm_chan.rte = in.u8(13);
      return 0;
    case WM_SEL_CALL_TRANS:
      if (len < 13) return -EBADF;
      pl.wm_sel_call_trans.session_addr = getReversedAddr(in, 4);
      pl.wm_sel_call_trans.ssrc = in.u32(8);
      return getCallerId(in, len, 12, pl.wm_sel_call_trans.callerID_length, pl.wm_sel_call_trans.callerID)
                 ? 0
                 : -EBADF;
    case WM_STANDBY:
      if (len < 8) return -EBADF;
      pl.wm_standby.state = in.u8(4);
      pl.wm_standby.group = in.u8(5);
      pl.wm_standby.receiver_state = in.u8(6);
      return 0;
    default: return -ENOEXEC;
  }
}

}  // namespace

const char* sig_proto_type_name(int type) {
  const sig_proto_packet_name* row = sig_proto_packet_const_name;
  while (row->type >= 0 && row->type != type) ++row;
  return row->name;
}

int sig_proto_init(sig_proto* p) {
  if (p) std::memset(p, 0, sizeof *p);
  return 0;
}

int sig_proto_pack(const sig_proto* p, unsigned char* buf, int len) {
  if (!p || !buf) return 0;
  if (len < HeaderLen) return -EBADF;
  std::memset(buf, 0, size_t(len));
  putHeader(*p, buf);
  if (len < neededLen(*p)) return -EBADF;
  Board::RecordWriter out(buf, size_t(len));
  return putPayload(*p, out);
}

int sig_proto_unpack(sig_proto* p, const unsigned char* buf, int len) {
  if (!p || !buf) return -E2BIG;
  if (len < HeaderLen) return -EBADF;
  Board::RecordReader in(buf, size_t(len));
  auto payload = p->payload;
  const int result = getPayload(buf[0], in, len, payload);
  if (result == -ENOEXEC) p->type = buf[0];
  if (result != 0) return result;
  p->type = buf[0];
  p->priority = buf[1] >> 4;
  p->flag_t = buf[1] >> 3 & 1u;
  p->flag_p = buf[1] >> 2 & 1u;
  p->flag_r = buf[1] >> 1 & 1u;
  p->flag_s = buf[1] & 1u;
  p->flag_b = buf[2] >> 7;
  p->flag_rv = buf[2] >> 6 & 1u;
  p->flag_sh = buf[2] >> 5 & 1u;
  p->flag_pw = buf[2] >> 4 & 1u;
  p->status = uint32_t(buf[2] & 0xF) << 5 | buf[3] >> 3;
  p->flag_c = buf[3] >> 1 & 3u;
  p->flag_rs = buf[3] & 1u;
  p->payload = payload;
  return 0;
}

int cmp_sig_proto_header(const sig_proto* a, const sig_proto* b) {
  if (!a || !b) return -1;
  if (a->type != b->type) return int(b->type - a->type);
  if (a->src_ssrc != b->src_ssrc) return int(b->src_ssrc - a->src_ssrc);
  return int(b->src_addr - a->src_addr);
}
