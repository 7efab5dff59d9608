#pragma once
// The radio signalling block that ED-137 sessions carry in the RTP header
// extension (profile 0x0167): a 16-bit TX header (voice communication side to
// radio) or RX header (radio side), then optional feature blocks, each a
// type-length octet (type in bits 7-4, data octets in bits 3-0) and its data,
// multi-octet values most significant octet first.
//
// Plain functions over a plain record: no state, no I/O, no allocation.
// Results are 0, an octet count, or a negated errno value:
//   -E2BIG   no record or no buffer where one is required
//   -ENOEXEC unknown record type or RRC form
//   -EBADF   buffer or block too short
// Every read and write stays inside the `len` octets given.

#include <cstdint>

enum r2s_proto_type : uint32_t { R2S_PROTO_NONE = 0, R2S_PROTO_TX = 1, R2S_PROTO_RX = 2 };

// Feature types; the same number means different features per direction.
enum r2s_proto_feature : uint32_t {
  R2S_RX_SQI = 1,           // signal quality: f1 quality (5 bits), f2 method (3 bits)
  R2S_TX_CLIMAX_DELAY = 2,  // f1 (8 bits)
  R2S_RRC = 3,              // f1..f8 single bits; RX: f9 0 short, 1 long with f10, f11 (bits), f12, f13 (octets)
  R2S_RX_MAM = 4,           // f1 bit, f2 23 bits, f3 bit, f4 23 bits, f5..f7 16 bits
  R2S_TX_RRM = 4,           // f1 bit, f2 23 bits
};

constexpr unsigned R2S_PROTO_MAX_BLOCKS = 16;

struct r2s_proto_block {
  uint32_t type;
  uint32_t f[13];  // f[0] is f1 ... f[12] is f13
};

struct r2s_proto_tx_header {
  uint32_t ptt_type;
  uint32_t ptt_id;
  uint32_t pm;
  uint32_t ptts;
  uint32_t unused[2];
};

struct r2s_proto_rx_header {
  uint32_t ptt_type;  // 3 bits, 0 off
  uint32_t squ;       // squelch open
  uint32_t ptt_id;    // 6 bits
  uint32_t pm;        // PTT mute
  uint32_t ptts;      // PTT summation
  uint32_t sct;       // simultaneous call transmissions
};

struct r2s_proto {
  uint32_t src_addr;  // set by the receiver from the device, never by the codec
  uint32_t src_ssrc;
  uint32_t type;  // r2s_proto_type
  union {
    r2s_proto_tx_header tx;
    r2s_proto_rx_header rx;
  } header;        // the member named by `type`
  uint32_t count;  // blocks in use
  r2s_proto_block blocks[R2S_PROTO_MAX_BLOCKS];
};
static_assert(sizeof(r2s_proto) == 234 * 4, "the record is 234 words");

struct r2s_proto_rx_additional_sqi {
  unsigned long f1, f2;
};
struct r2s_proto_rx_additional_rrc {
  unsigned long f1, f2, f3, f4, f5, f6, f7, f8, f9, f10, f11, f12, f13;
};
struct r2s_proto_rx_additional_mam {
  unsigned long f1, f2, f3, f4, f5, f6, f7;
};
struct r2s_proto_tx_additional_climax_time_delay {
  unsigned long f1;
};
struct r2s_proto_tx_additional_rrc {
  unsigned long f1, f2, f3, f4, f5, f6, f7, f8;
};
struct r2s_proto_tx_additional_rrm {
  unsigned long f1, f2;
};

// Clears the whole record and sets its type; a null record is left alone.
int r2s_proto_init(r2s_proto* p, unsigned long type);
int r2s_proto_set_type(r2s_proto* p, unsigned long type);
int r2s_proto_set_tx_header(r2s_proto* p, unsigned long ptt_type, unsigned long ptt_id, unsigned long pm,
                            unsigned long ptts);
int r2s_proto_set_rx_header(r2s_proto* p, unsigned long ptt_type, unsigned long squ, unsigned long ptt_id,
                            unsigned long pm, unsigned long ptts, unsigned long sct);
int r2s_proto_reset_additionals(r2s_proto* p);

// Each adder appends one block; with a null record or argument, or all 16
// blocks in use, the block is dropped without an error. All return 0.
int r2s_proto_add_rx_sqi(r2s_proto* p, const r2s_proto_rx_additional_sqi* a);
int r2s_proto_add_rx_sqi(r2s_proto* p, unsigned long f1, unsigned long f2);
int r2s_proto_add_rx_rrc(r2s_proto* p, const r2s_proto_rx_additional_rrc* a);
int r2s_proto_add_rx_mam(r2s_proto* p, const r2s_proto_rx_additional_mam* a);
int r2s_proto_add_tx_time_delay(r2s_proto* p, const r2s_proto_tx_additional_climax_time_delay* a);
int r2s_proto_add_tx_rrc(r2s_proto* p, const r2s_proto_tx_additional_rrc* a);
int r2s_proto_add_tx_rrm(r2s_proto* p, const r2s_proto_tx_additional_rrm* a);

// Encodes by `type`: octets written, -E2BIG for a null record, -ENOEXEC for
// another type, or the header encoder's error.
int r2s_proto_pack(const r2s_proto* p, unsigned char* buf, int len);
// Clears all `len` octets, writes the header and the blocks of this
// direction (others are skipped) and returns 2 plus the blocks, or 4 (two
// zero octets after the header) without blocks. 0 and nothing written for a
// null record or buffer.
int r2s_proto_pack_tx(const r2s_proto* p, unsigned char* buf, int len);
int r2s_proto_pack_rx(const r2s_proto* p, unsigned char* buf, int len);

// Decodes a header and up to 16 known blocks (unknown ones are skipped by
// their length) into the record; `count` holds the blocks taken, also after
// an error. The source words are left as they are.
int r2s_proto_unpack_tx(r2s_proto* p, const unsigned char* buf, int len);
int r2s_proto_unpack_rx(r2s_proto* p, const unsigned char* buf, int len);

// Compares type, then SSRC, then address: b minus a of the first that
// differs, 0 when all are equal, -1 when either record is null.
int cmp_r2s_proto_source(const r2s_proto* a, const r2s_proto* b);
