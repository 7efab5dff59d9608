#pragma once
// LEMZ radio packets, carried in the RTP header extension (type 0x1337): a
// 4-octet header of type, priority, flags and status, then a payload whose
// layout depends on the type. Multi-octet numbers are big-endian, except
// the session address of WM_TRANS and WM_SEL_CALL_TRANS, whose four octets
// go in reverse order (last octet of the dotted address first); floats
// travel as their IEEE-754 single bit pattern. Every octet is moved one by
// one, so the wire is the same on every host.
//
// Plain functions over a plain record: no state, no I/O, no allocation, no
// logging. Results are 0, an octet count, or a negated errno value:
//   -E2BIG   no record or no buffer
//   -ENOEXEC not a packet type (unpacking)
//   -EBADF   buffer shorter than the type needs

#include <netinet/in.h>

#include <cstdint>

enum sig_proto_packet_type : uint32_t {
  GW_FLAG = 1,
  GW_ADJUST_CHAN = 2,
  GW_FLAG_PTT = 3,
  GW_FLAG_BSS = 4,
  GW_FLAG_RV = 5,
  GW_FLAG_SH = 6,
  GW_FLAG_PW = 7,
  GW_FLAG_RS = 8,
  GW_SEL_CALL = 9,
  GW_SELECT_RC_CHAN = 10,
  GW_ADJUST_SQUELSHE = 11,
  GW_ADJUST_RTE = 12,
  GW_ADJUST_STANDBY = 13,
  WM_FLAG = 129,
  WM_TRANS = 130,
  WM_RADIO_QUALITY = 131,
  WM_CHAN = 132,
  WM_SEL_CALL_TRANS = 133,
  WM_SELECT_RC_CHAN = 134,
  WM_STANDBY = 135,
};

constexpr unsigned SIG_PROTO_CALLER_ID_SIZE = 256;  // up to 255 octets and a NUL

struct gw_adjust_chan {
  uint32_t id;
  float freq;
};
struct gw_sel_call {
  uint8_t callerID_length;
  char callerID[SIG_PROTO_CALLER_ID_SIZE];
};
struct gw_select_rc_chan {
  uint8_t interface;
  uint8_t channel;
};
struct gw_adjust_squelsh {
  uint8_t squelsh;
};
struct gw_adjust_rte {
  uint8_t rte;
};
struct gw_adjust_standby {
  uint8_t state;
};
struct wm_trans {
  in_addr session_addr;
  uint32_t ssrc;
};
struct wm_radio_quality {
  float radio_quality;
};
struct wm_chan {
  uint32_t id;
  float freq;
  uint8_t squelsh;
  uint8_t rte;
};
struct wm_sel_call_trans {
  in_addr session_addr;
  uint32_t ssrc;
  uint8_t callerID_length;
  char callerID[SIG_PROTO_CALLER_ID_SIZE];
};
struct wm_select_rc_chan {
  uint8_t interface;
  uint8_t channel;
};
struct wm_standby {
  uint8_t state;
  uint8_t group;
  uint8_t receiver_state;
};

// One packet in host form. The payload layouts share one area: decoding a
// type keeps what the members it does not carry held before.
struct sig_proto {
  uint32_t src_addr;  // the sending session, network order; filled by the receiver, never on the wire
  uint32_t src_ssrc;
  uint32_t type;      // sig_proto_packet_type
  uint32_t priority;  // 0..15
  uint32_t flag_t;    // voice activity, transmit path
  uint32_t flag_p;    // push-to-talk
  uint32_t flag_r;    // voice activity, receive path
  uint32_t flag_s;    // squelch
  uint32_t flag_b;
  uint32_t flag_rv;
  uint32_t flag_sh;
  uint32_t flag_rs;
  uint32_t flag_pw;
  uint32_t flag_c;  // selective-call state, 0..3
  uint32_t status;  // 0..511
  union {
    ::gw_adjust_chan gw_adjust_chan;
    ::gw_sel_call gw_sel_call;
    ::gw_select_rc_chan gw_select_rc_chan;
    ::gw_adjust_squelsh gw_adjust_squelsh;
    ::gw_adjust_rte gw_adjust_rte;
    ::gw_adjust_standby gw_adjust_standby;
    ::wm_trans wm_trans;
    ::wm_radio_quality wm_radio_quality;
    ::wm_chan wm_chan;
    ::wm_sel_call_trans wm_sel_call_trans;
    ::wm_select_rc_chan wm_select_rc_chan;
    ::wm_standby wm_standby;
  } payload;
};
static_assert(sizeof(sig_proto{}.payload) == 268, "the payload area is 268 octets");

// How a payload member travels. Numbers are big-endian; a float goes as its
// bit pattern.
enum class sig_proto_octets : uint8_t {
  none,       // ends a type's members
  octet,      // u8
  word,       // u32 or float
  addr,       // in_addr, its four octets in reverse order
  caller_id,  // callerID_length n in one octet, then n octets of callerID
};

// The payload members, by their names in the layouts.
enum class sig_proto_value : uint8_t {
  id,
  freq,
  callerID,
  interface,
  channel,
  squelsh,
  rte,
  state,
  group,
  receiver_state,
  session_addr,
  ssrc,
  radio_quality,
};

// A payload member: its first octet in the packet and its place in the
// payload area (of a caller ID, the place of callerID, whose count lies in
// the octet before).
struct sig_proto_field {
  sig_proto_octets octets;
  uint8_t at;
  uint8_t place;
  sig_proto_value value;
};

// One row per packet type, ended by {-1, ""}: its name, whether it is a
// push-to-talk command, its length and its payload members in packet order.
// The length is what a packer's buffer must hold and a received packet must
// reach, padding included. With a caller ID of n octets the packer's buffer
// must hold n more, and a received packet need only reach the caller ID's end.
struct sig_proto_packet_name {
  int32_t type;
  const char* name;
  bool ptt;
  uint8_t length;
  sig_proto_field fields[4];
};
extern const sig_proto_packet_name sig_proto_packet_const_name[];
// The row of a packet type, or null for a value that is not one.
const sig_proto_packet_name* sig_proto_packet(int type);
// The name of a packet type, or "" for a value that is not one.
const char* sig_proto_type_name(int type);

// A payload member other than a caller ID as a 32-bit word: an octet in its
// low eight bits, a float or address as its bits in memory; and back, an
// octet member taking the word's low eight bits.
uint32_t sig_proto_word(const sig_proto* p, const sig_proto_field* f);
void sig_proto_set_word(sig_proto* p, const sig_proto_field* f, uint32_t word);
// A caller ID member: its octets, with their count in `length`; and back,
// `length` octets of `id` stored NUL-terminated.
const char* sig_proto_caller_id(const sig_proto* p, const sig_proto_field* f, uint8_t* length);
void sig_proto_set_caller_id(sig_proto* p, const sig_proto_field* f, const char* id, uint8_t length);

// Clears the whole record; 0, also for a null record.
int sig_proto_init(sig_proto* p);

// Clears all `len` octets and encodes the record: the octets written, 0 for
// a null record or buffer, -EBADF when `len` is below 4 or below what the
// type's row asks. A type without a payload layout, valid or not, is
// written as the header alone (4 octets).
int sig_proto_pack(const sig_proto* p, unsigned char* buf, int len);

// Decodes `len` received octets (octets past the payload are ignored). On
// an error the record is left as it was, except that -ENOEXEC stores the
// type octet in `type`. `src_addr` and `src_ssrc` are never written.
int sig_proto_unpack(sig_proto* p, const unsigned char* buf, int len);

// Compares type, then SSRC, then address: b minus a of the first that
// differs, 0 when all are equal, -1 when either record is null.
int cmp_sig_proto_header(const sig_proto* a, const sig_proto* b);
