#pragma once
// Device records are big-endian on the board. They are packed and unpacked
// field by field at named offsets, never by copying a struct. A device's
// interface header (board/dev/) names each field once as a Field, whose type
// gives its width and signedness, so the daemon and the simulated board
// cannot read one field two ways.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace Board {

// A field of a record: its offset, with its width and signedness in T.
template <class T>
struct Field {
  static_assert(std::is_integral<T>::value && sizeof(T) <= 4, "record fields are 8, 16 or 32 bits");
  size_t at;
  // The same field in a record nested at `base`.
  constexpr Field operator+(size_t base) const { return Field{at + base}; }
};

// A run of bytes in a record.
struct Bytes {
  size_t at;
  size_t size;
};

namespace RecordDetail {
template <class T>
struct Same {
  using type = T;
};
}  // namespace RecordDetail

class RecordWriter {
public:
  RecordWriter(void* buf, size_t len) : p_(static_cast<uint8_t*>(buf)), len_(len) {}
  bool u8(size_t off, uint8_t v) { return put(off, 1, v); }
  bool u16(size_t off, uint16_t v) { return put(off, 2, v); }
  bool u32(size_t off, uint32_t v) { return put(off, 4, v); }
  template <class T>
  bool put(Field<T> f, typename RecordDetail::Same<T>::type v) {
    return put(f.at, sizeof(T), uint32_t(typename std::make_unsigned<T>::type(v)));
  }
  // `data` holds run.size bytes.
  bool bytes(Bytes run, const void* data) {
    if (!fits(run.at, run.size)) return fail();
    if (run.size) std::memcpy(p_ + run.at, data, run.size);
    return true;
  }
  bool ok() const { return ok_; }

private:
  bool fits(size_t off, size_t n) const { return off <= len_ && n <= len_ - off; }
  bool put(size_t off, size_t n, uint32_t v) {
    if (!fits(off, n)) return fail();
    for (size_t i = 0; i < n; ++i) p_[off + i] = uint8_t(v >> (8 * (n - 1 - i)));
    return true;
  }
  bool fail() { return ok_ = false; }
  uint8_t* p_;
  size_t len_;
  bool ok_ = true;
};

class RecordReader {
public:
  RecordReader(const void* buf, size_t len) : p_(static_cast<const uint8_t*>(buf)), len_(len) {}
  uint8_t u8(size_t off) { return uint8_t(get(off, 1)); }
  uint16_t u16(size_t off) { return uint16_t(get(off, 2)); }
  uint32_t u32(size_t off) { return get(off, 4); }
  int8_t s8(size_t off) { return int8_t(u8(off)); }
  int16_t s16(size_t off) { return int16_t(u16(off)); }
  int32_t s32(size_t off) { return int32_t(u32(off)); }
  template <class T>
  T get(Field<T> f) {
    return T(typename std::make_unsigned<T>::type(get(f.at, sizeof(T))));
  }
  // Copies run.size bytes to `data`; zeros when the run lies outside the record.
  void bytes(Bytes run, void* data) {
    if (!fits(run.at, run.size)) {
      ok_ = false;
      std::memset(data, 0, run.size);
    } else if (run.size) {
      std::memcpy(data, p_ + run.at, run.size);
    }
  }
  // False once any field lay outside the record: the record is malformed.
  bool ok() const { return ok_; }

private:
  bool fits(size_t off, size_t n) const { return off <= len_ && n <= len_ - off; }
  uint32_t get(size_t off, size_t n) {
    if (!fits(off, n)) {
      ok_ = false;
      return 0;
    }
    uint32_t v = 0;
    for (size_t i = 0; i < n; ++i) v = v << 8 | p_[off + i];
    return v;
  }
  const uint8_t* p_;
  size_t len_;
  bool ok_ = true;
};

}  // namespace Board
