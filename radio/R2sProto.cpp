#include "radio/R2sProto.h"

#include <cerrno>
#include <cstring>

#include "board/Record.h"

namespace {

constexpr int HeaderLen = 2;
// Type-length octets of the blocks this codec writes.
constexpr uint8_t RxSqiTag = 0x11, RrcShortTag = 0x31, RxRrcLongTag = 0x34, RxMamTag = 0x4C;
constexpr uint8_t TxClimaxTag = 0x21, TxRrmTag = 0x43;
// An RX RRC block counts its long size whatever its form.
constexpr int RxRrcRoom = 5;

// The blocks a record holds, whatever its count word says.
unsigned blocksInUse(const r2s_proto& p) { return p.count < R2S_PROTO_MAX_BLOCKS ? p.count : R2S_PROTO_MAX_BLOCKS; }

r2s_proto_block* nextBlock(r2s_proto* p, uint32_t type) {
  if (!p || p->count >= R2S_PROTO_MAX_BLOCKS) return nullptr;
  r2s_proto_block* b = &p->blocks[p->count++];
  std::memset(b, 0, sizeof *b);
  b->type = type;
  return b;
}

uint8_t rrcBits(const uint32_t* f) {
  uint8_t bits = 0;
  for (int i = 0; i < 8; ++i) bits = uint8_t(bits << 1 | (f[i] & 1));
  return bits;
}

void setRrcBits(uint32_t* f, uint8_t bits) {
  for (int i = 0; i < 8; ++i) f[i] = bits >> (7 - i) & 1u;
}

// A flag bit and 23 bits of a value in three octets.
void putBit23(Board::RecordWriter& out, int at, uint32_t bit, uint32_t value) {
  out.u8(size_t(at), uint8_t((bit & 1) << 7 | (value >> 16 & 0x7F)));
  out.u16(size_t(at) + 1, uint16_t(value));
}

void getBit23(Board::RecordReader& in, int at, uint32_t& bit, uint32_t& value) {
  const uint8_t first = in.u8(size_t(at));
  bit = first >> 7;
  value = uint32_t(first & 0x7F) << 16 | in.u16(size_t(at) + 1);
}

void putHeader(const r2s_proto& p, unsigned char* buf, bool rx) {
  const uint32_t type = rx ? p.header.rx.ptt_type : p.header.tx.ptt_type;
  const uint32_t id = rx ? p.header.rx.ptt_id : p.header.tx.ptt_id;
  const uint32_t pm = rx ? p.header.rx.pm : p.header.tx.pm;
  const uint32_t ptts = rx ? p.header.rx.ptts : p.header.tx.ptts;
  const uint32_t squ = rx ? p.header.rx.squ : 0;
  const uint32_t sct = rx ? p.header.rx.sct : 0;
  buf[0] = uint8_t((type & 7) << 5 | (squ & 1) << 4 | (id >> 2 & 0xF));
  buf[1] = uint8_t((id & 3) << 6 | (pm & 1) << 5 | (ptts & 1) << 4 | (sct & 1) << 3 | (p.count > 0));
}

// Room a block takes in the running total, 0 for a block of another direction.
int blockRoom(const r2s_proto_block& b, bool rx) {
  if (rx) {
    switch (b.type) {
      case R2S_RX_SQI: return 2;
      case R2S_RRC: return RxRrcRoom;
      case R2S_RX_MAM: return 13;
      default: return 0;
    }
  }
  switch (b.type) {
    case R2S_TX_CLIMAX_DELAY: return 2;
    case R2S_RRC: return 2;
    case R2S_TX_RRM: return 4;
    default: return 0;
  }
}

// Writes one block at `at`: the octets written, or -ENOEXEC.
int putBlock(const r2s_proto_block& b, bool rx, Board::RecordWriter& out, int at) {
  const uint32_t* f = b.f;
  const size_t o = size_t(at);
  if (rx && b.type == R2S_RX_SQI) {
    out.u8(o, RxSqiTag);
    out.u8(o + 1, uint8_t((f[0] & 0x1F) << 3 | (f[1] & 7)));
    return 2;
  }
  if (rx && b.type == R2S_RRC) {
    if (f[8] > 1) return -ENOEXEC;
    out.u8(o, f[8] ? RxRrcLongTag : RrcShortTag);
    out.u8(o + 1, rrcBits(f));
    if (!f[8]) return 2;
    out.u8(o + 2, uint8_t((f[9] & 1) << 7 | (f[10] & 1) << 6));
    out.u8(o + 3, uint8_t(f[11]));
    out.u8(o + 4, uint8_t(f[12]));
    return 5;
  }
  if (rx && b.type == R2S_RX_MAM) {
    out.u8(o, RxMamTag);
    putBit23(out, at + 1, f[0], f[1]);
    putBit23(out, at + 4, f[2], f[3]);
    out.u16(o + 7, uint16_t(f[4]));
    out.u16(o + 9, uint16_t(f[5]));
    out.u16(o + 11, uint16_t(f[6]));
    return 13;
  }
  if (!rx && b.type == R2S_TX_CLIMAX_DELAY) {
    out.u8(o, TxClimaxTag);
    out.u8(o + 1, uint8_t(f[0]));
    return 2;
  }
  if (!rx && b.type == R2S_RRC) {
    out.u8(o, RrcShortTag);
    out.u8(o + 1, rrcBits(f));
    return 2;
  }
  out.u8(o, TxRrmTag);
  putBit23(out, at + 1, f[0], f[1]);
  return 4;
}

int pack(const r2s_proto* p, unsigned char* buf, int len, bool rx) {
  if (!p || !buf) return 0;
  if (len < HeaderLen) return -EBADF;
  std::memset(buf, 0, size_t(len));
  putHeader(*p, buf, rx);
  if (p->count == 0) return len < 4 ? -EBADF : 4;
  Board::RecordWriter out(buf, size_t(len));
  int needed = HeaderLen;
  int at = HeaderLen;
  const unsigned blocks = blocksInUse(*p);
  for (unsigned i = 0; i < blocks; ++i) {
    const int room = blockRoom(p->blocks[i], rx);
    if (room == 0) continue;
    needed += room;
    if (needed > len) return -EBADF;
    const int written = putBlock(p->blocks[i], rx, out, at);
    if (written < 0) return written;
    at += written;
  }
  return at;
}

// Takes the block of type-length octet `tag` whose data start at `at` when
// this direction knows that pair of type and length; others are skipped.
void getBlock(r2s_proto* p, bool rx, uint8_t tag, Board::RecordReader& in, int at) {
  const size_t o = size_t(at);
  const uint32_t type = tag >> 4;
  r2s_proto_block probe{};
  uint32_t* f = probe.f;
  if (rx && tag == RxSqiTag) {
    const uint8_t v = in.u8(o);
    f[0] = v >> 3;
    f[1] = v & 7u;
  } else if (tag == RrcShortTag) {
    setRrcBits(f, in.u8(o));
  } else if (rx && tag == RxRrcLongTag) {
    setRrcBits(f, in.u8(o));
    f[8] = 1;
    const uint8_t v = in.u8(o + 1);
    f[9] = v >> 7;
    f[10] = v >> 6 & 1u;
    f[11] = in.u8(o + 2);
    f[12] = in.u8(o + 3);
  } else if (rx && tag == RxMamTag) {
    getBit23(in, at, f[0], f[1]);
    getBit23(in, at + 3, f[2], f[3]);
    f[4] = in.u16(o + 6);
    f[5] = in.u16(o + 8);
    f[6] = in.u16(o + 10);
  } else if (!rx && tag == TxClimaxTag) {
    f[0] = in.u8(o);
  } else if (!rx && tag == TxRrmTag) {
    getBit23(in, at, f[0], f[1]);
  } else {
    return;
  }
  probe.type = type;
  p->blocks[p->count++] = probe;
}

int unpack(r2s_proto* p, const unsigned char* buf, int len, bool rx) {
  if (!p || !buf) return -E2BIG;
  if (len < HeaderLen) return -EBADF;
  const uint32_t type = buf[0] >> 5 & 7u;
  const uint32_t id = uint32_t(buf[0] & 0xF) << 2 | buf[1] >> 6;
  const uint32_t pm = buf[1] >> 5 & 1u;
  const uint32_t ptts = buf[1] >> 4 & 1u;
  if (rx) {
    p->type = R2S_PROTO_RX;
    p->header.rx = {type, buf[0] >> 4 & 1u, id, pm, ptts, buf[1] >> 3 & 1u};
  } else {
    p->type = R2S_PROTO_TX;
    p->header.tx.ptt_type = type;
    p->header.tx.ptt_id = id;
    p->header.tx.pm = pm;
    p->header.tx.ptts = ptts;
  }
  p->count = 0;
  if (!(buf[1] & 1)) return 0;
  Board::RecordReader in(buf, size_t(len));
  int at = HeaderLen;
  while (at < len && p->count < R2S_PROTO_MAX_BLOCKS) {
    const uint8_t tag = buf[at];
    const int size = tag & 0xF;
    if (size > len - at - 1) return -EBADF;
    getBlock(p, rx, tag, in, at + 1);
    at += 1 + size;
  }
  return 0;
}

}  // namespace

int r2s_proto_init(r2s_proto* p, unsigned long type) {
  if (!p) return 0;
  std::memset(p, 0, sizeof *p);
  p->type = uint32_t(type);
  return 0;
}

int r2s_proto_set_type(r2s_proto* p, unsigned long type) {
  if (p) p->type = uint32_t(type);
  return 0;
}

int r2s_proto_set_tx_header(r2s_proto* p, unsigned long ptt_type, unsigned long ptt_id, unsigned long pm,
                            unsigned long ptts) {
  if (!p) return 0;
  p->type = R2S_PROTO_TX;
  p->header.tx.ptt_type = uint32_t(ptt_type);
  p->header.tx.ptt_id = uint32_t(ptt_id);
  p->header.tx.pm = uint32_t(pm);
  p->header.tx.ptts = uint32_t(ptts);
  return 0;
}

int r2s_proto_set_rx_header(r2s_proto* p, unsigned long ptt_type, unsigned long squ, unsigned long ptt_id,
                            unsigned long pm, unsigned long ptts, unsigned long sct) {
  if (!p) return 0;
  p->type = R2S_PROTO_RX;
  p->header.rx = {uint32_t(ptt_type), uint32_t(squ), uint32_t(ptt_id), uint32_t(pm), uint32_t(ptts), uint32_t(sct)};
  return 0;
}

int r2s_proto_reset_additionals(r2s_proto* p) {
  if (p) p->count = 0;
  return 0;
}

int r2s_proto_add_rx_sqi(r2s_proto* p, const r2s_proto_rx_additional_sqi* a) {
  if (a) r2s_proto_add_rx_sqi(p, a->f1, a->f2);
  return 0;
}

int r2s_proto_add_rx_sqi(r2s_proto* p, unsigned long f1, unsigned long f2) {
  if (r2s_proto_block* b = nextBlock(p, R2S_RX_SQI)) {
    b->f[0] = uint32_t(f1);
    b->f[1] = uint32_t(f2);
  }
  return 0;
}

int r2s_proto_add_rx_rrc(r2s_proto* p, const r2s_proto_rx_additional_rrc* a) {
  if (!a) return 0;
  if (r2s_proto_block* b = nextBlock(p, R2S_RRC)) {
    const unsigned long words[] = {a->f1, a->f2, a->f3,  a->f4,  a->f5,  a->f6, a->f7,
                                   a->f8, a->f9, a->f10, a->f11, a->f12, a->f13};
    for (unsigned i = 0; i < 13; ++i) b->f[i] = uint32_t(words[i]);
  }
  return 0;
}

int r2s_proto_add_rx_mam(r2s_proto* p, const r2s_proto_rx_additional_mam* a) {
  if (!a) return 0;
  if (r2s_proto_block* b = nextBlock(p, R2S_RX_MAM)) {
    const unsigned long words[] = {a->f1, a->f2, a->f3, a->f4, a->f5, a->f6, a->f7};
    for (unsigned i = 0; i < 7; ++i) b->f[i] = uint32_t(words[i]);
  }
  return 0;
}

int r2s_proto_add_tx_time_delay(r2s_proto* p, const r2s_proto_tx_additional_climax_time_delay* a) {
  if (!a) return 0;
  if (r2s_proto_block* b = nextBlock(p, R2S_TX_CLIMAX_DELAY)) b->f[0] = uint32_t(a->f1);
  return 0;
}

int r2s_proto_add_tx_rrc(r2s_proto* p, const r2s_proto_tx_additional_rrc* a) {
  if (!a) return 0;
  if (r2s_proto_block* b = nextBlock(p, R2S_RRC)) {
    const unsigned long words[] = {a->f1, a->f2, a->f3, a->f4, a->f5, a->f6, a->f7, a->f8};
    for (unsigned i = 0; i < 8; ++i) b->f[i] = uint32_t(words[i]);
  }
  return 0;
}

int r2s_proto_add_tx_rrm(r2s_proto* p, const r2s_proto_tx_additional_rrm* a) {
  if (!a) return 0;
  if (r2s_proto_block* b = nextBlock(p, R2S_TX_RRM)) {
    b->f[0] = uint32_t(a->f1);
    b->f[1] = uint32_t(a->f2);
  }
  return 0;
}

int r2s_proto_pack(const r2s_proto* p, unsigned char* buf, int len) {
  if (!p) return -E2BIG;
  switch (p->type) {
    case R2S_PROTO_TX: return r2s_proto_pack_tx(p, buf, len);
    case R2S_PROTO_RX: return r2s_proto_pack_rx(p, buf, len);
    default: return -ENOEXEC;
  }
}

int r2s_proto_pack_tx(const r2s_proto* p, unsigned char* buf, int len) { return pack(p, buf, len, false); }
int r2s_proto_pack_rx(const r2s_proto* p, unsigned char* buf, int len) { return pack(p, buf, len, true); }
int r2s_proto_unpack_tx(r2s_proto* p, const unsigned char* buf, int len) { return unpack(p, buf, len, false); }
int r2s_proto_unpack_rx(r2s_proto* p, const unsigned char* buf, int len) { return unpack(p, buf, len, true); }

int cmp_r2s_proto_source(const r2s_proto* a, const r2s_proto* b) {
  if (!a || !b) return -1;
  if (a->type != b->type) return int(b->type - a->type);
  if (a->src_ssrc != b->src_ssrc) return int(b->src_ssrc - a->src_ssrc);
  return int(b->src_addr - a->src_addr);
}
