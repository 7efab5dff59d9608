#pragma once
// Device records are big-endian on the board. They are packed and unpacked
// field by field at named offsets, never by copying a struct.

#include <cstddef>
#include <cstdint>

namespace Board {

class RecordWriter {
public:
  RecordWriter(void* buf, size_t len) : p_(static_cast<uint8_t*>(buf)), len_(len) {}
  bool u8(size_t off, uint8_t v) {
    if (off + 1 > len_) return fail();
    p_[off] = v;
    return true;
  }
  bool u16(size_t off, uint16_t v) {
    if (off + 2 > len_) return fail();
    p_[off] = uint8_t(v >> 8);
    p_[off + 1] = uint8_t(v);
    return true;
  }
  bool u32(size_t off, uint32_t v) {
    if (off + 4 > len_) return fail();
    for (int i = 0; i < 4; ++i) p_[off + i] = uint8_t(v >> (24 - 8 * i));
    return true;
  }
  bool ok() const { return ok_; }

private:
  bool fail() { return ok_ = false; }
  uint8_t* p_;
  size_t len_;
  bool ok_ = true;
};

class RecordReader {
public:
  RecordReader(const void* buf, size_t len) : p_(static_cast<const uint8_t*>(buf)), len_(len) {}
  uint8_t u8(size_t off) {
    if (off + 1 > len_) return fail();
    return p_[off];
  }
  uint16_t u16(size_t off) {
    if (off + 2 > len_) return fail();
    return uint16_t(p_[off] << 8 | p_[off + 1]);
  }
  uint32_t u32(size_t off) {
    if (off + 4 > len_) return fail();
    return uint32_t(p_[off]) << 24 | uint32_t(p_[off + 1]) << 16 | uint32_t(p_[off + 2]) << 8 | p_[off + 3];
  }
  int32_t s32(size_t off) { return int32_t(u32(off)); }
  // False once any field lay outside the record: the record is malformed.
  bool ok() const { return ok_; }

private:
  uint8_t fail() {
    ok_ = false;
    return 0;
  }
  const uint8_t* p_;
  size_t len_;
  bool ok_ = true;
};

}  // namespace Board
