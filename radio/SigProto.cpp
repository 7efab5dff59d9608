#include "radio/SigProto.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <limits>

#include "board/Record.h"

static_assert(std::numeric_limits<float>::is_iec559 && sizeof(float) == 4, "floats travel as IEEE-754 singles");

// A payload member: how it travels, its first octet in the packet, and its
// layout and name in the record.
#define MEMBER(octets, at, layout, member) \
  { sig_proto_octets::octets, at, offsetof(::layout, member), sig_proto_value::member }

const sig_proto_packet_name sig_proto_packet_const_name[] = {
    {GW_FLAG, "GW_FLAG", true, 4, {}},
    {GW_ADJUST_CHAN,
     "GW_ADJUST_CHAN",
     false,
     12,
     {MEMBER(word, 4, gw_adjust_chan, id), MEMBER(word, 8, gw_adjust_chan, freq)}},
    {GW_FLAG_PTT, "GW_FLAG_PTT", true, 4, {}},
    {GW_FLAG_BSS, "GW_FLAG_BSS", false, 4, {}},
    {GW_FLAG_RV, "GW_FLAG_RV", false, 4, {}},
    {GW_FLAG_SH, "GW_FLAG_SH", false, 4, {}},
    {GW_FLAG_PW, "GW_FLAG_PW", false, 4, {}},
    {GW_FLAG_RS, "GW_FLAG_RS", false, 4, {}},
    {GW_SEL_CALL, "GW_SEL_CALL", true, 12, {MEMBER(caller_id, 4, gw_sel_call, callerID)}},
    {GW_SELECT_RC_CHAN,
     "GW_SELECT_RC_CHAN",
     false,
     8,
     {MEMBER(octet, 4, gw_select_rc_chan, interface), MEMBER(octet, 5, gw_select_rc_chan, channel)}},
    {GW_ADJUST_SQUELSHE, "GW_ADJUST_SQUELSHE", false, 8, {MEMBER(octet, 4, gw_adjust_squelsh, squelsh)}},
    {GW_ADJUST_RTE, "GW_ADJUST_RTE", false, 8, {MEMBER(octet, 4, gw_adjust_rte, rte)}},
    {GW_ADJUST_STANDBY, "GW_ADJUST_STANDBY", false, 8, {MEMBER(octet, 4, gw_adjust_standby, state)}},
    {WM_FLAG, "WM_FLAG", true, 4, {}},
    {WM_TRANS, "WM_TRANS", true, 12, {MEMBER(addr, 4, wm_trans, session_addr), MEMBER(word, 8, wm_trans, ssrc)}},
    {WM_RADIO_QUALITY, "WM_RADIO_QUALITY", false, 8, {MEMBER(word, 4, wm_radio_quality, radio_quality)}},
    {WM_CHAN,
     "WM_CHAN",
     false,
     16,
     {MEMBER(word, 4, wm_chan, id), MEMBER(word, 8, wm_chan, freq), MEMBER(octet, 12, wm_chan, squelsh),
      MEMBER(octet, 13, wm_chan, rte)}},
    {WM_SEL_CALL_TRANS,
     "WM_SEL_CALL_TRANS",
     true,
     20,
     {MEMBER(addr, 4, wm_sel_call_trans, session_addr), MEMBER(word, 8, wm_sel_call_trans, ssrc),
      MEMBER(caller_id, 12, wm_sel_call_trans, callerID)}},
    {WM_SELECT_RC_CHAN,
     "WM_SELECT_RC_CHAN",
     false,
     8,
     {MEMBER(octet, 4, wm_select_rc_chan, interface), MEMBER(octet, 5, wm_select_rc_chan, channel)}},
    {WM_STANDBY,
     "WM_STANDBY",
     false,
     8,
     {MEMBER(octet, 4, wm_standby, state), MEMBER(octet, 5, wm_standby, group),
      MEMBER(octet, 6, wm_standby, receiver_state)}},
    {-1, "", false, 0, {}},
};

#undef MEMBER

static_assert(offsetof(gw_sel_call, callerID_length) + 1 == offsetof(gw_sel_call, callerID) &&
                  offsetof(wm_sel_call_trans, callerID_length) + 1 == offsetof(wm_sel_call_trans, callerID),
              "a caller ID's count lies in the octet before it");

namespace {

using Payload = decltype(sig_proto::payload);

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

void getHeader(const unsigned char* buf, sig_proto& p) {
  p.type = buf[0];
  p.priority = buf[1] >> 4;
  p.flag_t = buf[1] >> 3 & 1u;
  p.flag_p = buf[1] >> 2 & 1u;
  p.flag_r = buf[1] >> 1 & 1u;
  p.flag_s = buf[1] & 1u;
  p.flag_b = buf[2] >> 7;
  p.flag_rv = buf[2] >> 6 & 1u;
  p.flag_sh = buf[2] >> 5 & 1u;
  p.flag_pw = buf[2] >> 4 & 1u;
  p.status = uint32_t(buf[2] & 0xF) << 5 | buf[3] >> 3;
  p.flag_c = buf[3] >> 1 & 3u;
  p.flag_rs = buf[3] & 1u;
}

unsigned char* member(Payload& pl, const sig_proto_field& f) { return reinterpret_cast<unsigned char*>(&pl) + f.place; }

const unsigned char* member(const Payload& pl, const sig_proto_field& f) {
  return reinterpret_cast<const unsigned char*>(&pl) + f.place;
}

// The caller ID member of a type, or null.
const sig_proto_field* callerIdOf(const sig_proto_packet_name& row) {
  for (const sig_proto_field& f : row.fields)
    if (f.octets == sig_proto_octets::caller_id) return &f;
  return nullptr;
}

void putMembers(const sig_proto_packet_name& row, const sig_proto& p, Board::RecordWriter& out) {
  for (const sig_proto_field& f : row.fields) {
    switch (f.octets) {
      case sig_proto_octets::none: break;
      case sig_proto_octets::octet: out.u8(f.at, uint8_t(sig_proto_word(&p, &f))); break;
      case sig_proto_octets::word: out.u32(f.at, sig_proto_word(&p, &f)); break;
      case sig_proto_octets::addr: {
        const unsigned char* octets = member(p.payload, f);
        for (size_t i = 0; i < 4; ++i) out.u8(f.at + i, octets[3 - i]);
        break;
      }
      case sig_proto_octets::caller_id: {
        uint8_t n;
        const char* id = sig_proto_caller_id(&p, &f, &n);
        out.u8(f.at, n);
        out.bytes({f.at + 1u, n}, id);
        break;
      }
    }
  }
}

// False when the buffer ends before a member; `p` is then half written.
bool getMembers(const sig_proto_packet_name& row, Board::RecordReader& in, sig_proto& p) {
  for (const sig_proto_field& f : row.fields) {
    switch (f.octets) {
      case sig_proto_octets::none: break;
      case sig_proto_octets::octet: sig_proto_set_word(&p, &f, in.u8(f.at)); break;
      case sig_proto_octets::word: sig_proto_set_word(&p, &f, in.u32(f.at)); break;
      case sig_proto_octets::addr: {
        unsigned char* octets = member(p.payload, f);
        for (size_t i = 0; i < 4; ++i) octets[3 - i] = in.u8(f.at + i);
        break;
      }
      case sig_proto_octets::caller_id: {
        const uint8_t n = in.u8(f.at);
        char id[SIG_PROTO_CALLER_ID_SIZE];
        in.bytes({f.at + 1u, n}, id);
        sig_proto_set_caller_id(&p, &f, id, n);
        break;
      }
    }
  }
  return in.ok();
}

}  // namespace

const sig_proto_packet_name* sig_proto_packet(int type) {
  for (const sig_proto_packet_name* row = sig_proto_packet_const_name; row->type >= 0; ++row)
    if (row->type == type) return row;
  return nullptr;
}

const char* sig_proto_type_name(int type) {
  const sig_proto_packet_name* row = sig_proto_packet(type);
  return row ? row->name : "";
}

uint32_t sig_proto_word(const sig_proto* p, const sig_proto_field* f) {
  const unsigned char* bits = member(p->payload, *f);
  if (f->octets == sig_proto_octets::octet) return *bits;
  uint32_t word;
  std::memcpy(&word, bits, sizeof word);
  return word;
}

void sig_proto_set_word(sig_proto* p, const sig_proto_field* f, uint32_t word) {
  unsigned char* bits = member(p->payload, *f);
  if (f->octets == sig_proto_octets::octet)
    *bits = uint8_t(word);
  else
    std::memcpy(bits, &word, sizeof word);
}

const char* sig_proto_caller_id(const sig_proto* p, const sig_proto_field* f, uint8_t* length) {
  const unsigned char* id = member(p->payload, *f);
  *length = id[-1];
  return reinterpret_cast<const char*>(id);
}

void sig_proto_set_caller_id(sig_proto* p, const sig_proto_field* f, const char* id, uint8_t length) {
  unsigned char* octets = member(p->payload, *f);
  octets[-1] = length;
  std::memcpy(octets, id, length);
  octets[length] = '\0';
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
  const sig_proto_packet_name* row = sig_proto_packet(int(p->type));
  if (!row) return HeaderLen;
  const sig_proto_field* callerId = callerIdOf(*row);
  uint8_t n = 0;
  if (callerId) sig_proto_caller_id(p, callerId, &n);
  if (len < row->length + n) return -EBADF;
  Board::RecordWriter out(buf, size_t(len));
  putMembers(*row, *p, out);
  // A caller ID packet ends with the caller ID, padded to a word.
  return callerId ? roundUp4(callerId->at + 1 + n) : row->length;
}

int sig_proto_unpack(sig_proto* p, const unsigned char* buf, int len) {
  if (!p || !buf) return -E2BIG;
  if (len < HeaderLen) return -EBADF;
  const sig_proto_packet_name* row = sig_proto_packet(buf[0]);
  if (!row) {
    p->type = buf[0];
    return -ENOEXEC;
  }
  // A caller ID packet need only reach the caller ID's end.
  if (!callerIdOf(*row) && len < row->length) return -EBADF;
  Board::RecordReader in(buf, size_t(len));
  sig_proto decoded = *p;
  if (!getMembers(*row, in, decoded)) return -EBADF;
  getHeader(buf, decoded);
  *p = decoded;
  return 0;
}

int cmp_sig_proto_header(const sig_proto* a, const sig_proto* b) {
  if (!a || !b) return -1;
  if (a->type != b->type) return int(b->type - a->type);
  if (a->src_ssrc != b->src_ssrc) return int(b->src_ssrc - a->src_ssrc);
  return int(b->src_addr - a->src_addr);
}
