// Bit cursors over PER octets, most significant bit first. The writer
// appends to a byte vector; the reader never reads past its end and reports
// every shortfall by a false result.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace ASN1 {

class BitWriter {
public:
  // Where the next bit goes: `bits` written from `data` (the room, or the
  // vector where the writer's octets start).
  struct Cursor {
    char* data;
    std::size_t bits;
  };

  // Appends to `out`. The octets are written into a room of the writer's
  // own and reach the vector in one copy at detach() (the destructor
  // detaches too), or when the room runs out, after which the writer
  // works in the vector itself. What lies past the written bits is kept
  // zero, the room cleared as the writer gets there (a little at first,
  // then twice what is cleared), so a write and the partly filled octet
  // before it go out as one 64-bit store.
  explicit BitWriter(std::vector<char>& out) : out_(out) { attach(); }
  ~BitWriter() { detach(); }
  BitWriter(const BitWriter&) = delete;
  BitWriter& operator=(const BitWriter&) = delete;

  void putBit(bool bit) { putBit(cursor_, bit); }
  // The low `count` bits of value (0..57).
  void putBits(std::uint64_t value, unsigned count) { putBits(cursor_, value, count); }
  // Pads the current octet with zero bits.
  void align() { align(cursor_); }
  void putOctets(const char* octets, std::size_t count);
  // Aligns, then writes the first `count` octets (1..8) of a big-endian
  // word whose other octets are zero.
  void putOctetWord(std::uint64_t word, unsigned count) { putOctetWord(cursor_, word, count); }
  // Each octet's low `bits` bits (7 or 8), 56 bits a write; false
  // (written all the same) when an octet has a bit set above them.
  template <unsigned bits>
  bool putFields(const char* octets, std::size_t count);

  // Hands the vector back with exactly the octets written (for a nested
  // writer on the same vector), and takes it again afterwards.
  void detach();
  void attach();

  // The same writes on a cursor a caller keeps (in registers, through a
  // loop of many writes), taken from the writer and handed back.
  Cursor cursor() const { return cursor_; }
  void setCursor(Cursor c) { cursor_ = c; }
  void putBit(Cursor& c, bool bit) {
    std::size_t at = c.bits / 8;
    if (at >= capacity_) c = grow(c, 1);
    c.data[at] = static_cast<char>(c.data[at] | bit << (7 - c.bits % 8));
    ++c.bits;
  }
  void putBits(Cursor& c, std::uint64_t value, unsigned count);
  static void align(Cursor& c) { c.bits = (c.bits + 7) & ~std::size_t{7}; }
  void putOctetWord(Cursor& c, std::uint64_t word, unsigned count);

private:
  static constexpr std::size_t roomSize = 512;
  static constexpr std::size_t firstClear = 64;  // of the room, at attach

  // Room for `more` octets past the last one written to.
  Cursor grow(Cursor c, std::size_t more);

  std::vector<char>& out_;
  std::size_t base_ = 0;  // where the writer's octets start in the vector
  Cursor cursor_ = {nullptr, 0};
  std::size_t capacity_ = 0;  // octets cleared at cursor_.data
  char room_[roomSize];
};

class BitReader {
public:
  // Where the next bit is: an octet, and how many of its bits are read.
  struct Cursor {
    const unsigned char* at;
    unsigned used;
  };

  BitReader(const char* first, const char* last) : BitReader(first, last, first) {}
  // A reader over first..last inside a buffer that starts at `buffer`: the
  // octets from there on may be read too (never used), so a read near the
  // end still loads one word when the buffer holds eight.
  BitReader(const char* first, const char* last, const char* buffer)
      : cursor_{reinterpret_cast<const unsigned char*>(first), 0},
        end_(reinterpret_cast<const unsigned char*>(last)),
        buffer_(reinterpret_cast<const unsigned char*>(buffer)) {}

  std::size_t bitsRemaining() const { return static_cast<std::size_t>(end_ - cursor_.at) * 8 - cursor_.used; }
  // No octet left at the cursor (a partly read last octet still counts).
  bool atEnd() const { return cursor_.at >= end_; }
  bool getBit(bool& bit) { return getBit(cursor_, bit); }
  bool getBits(unsigned count, std::uint32_t& value) { return getBits(cursor_, count, value); }  // count 0..32
  // `count` fields of `bits` bits (7 or 8), each into an octet; false
  // (nothing read) when fewer bits remain.
  template <unsigned bits>
  bool getFields(char* octets, std::size_t count);
  void align() { align(cursor_); }
  // Aligns, then reads one octet; false at the end.
  bool getOctet(unsigned& value) {
    align();
    if (cursor_.at >= end_) return false;
    value = *cursor_.at++;
    return true;
  }
  // Aligns, then copies exactly `count` octets; false (nothing copied)
  // when fewer remain.
  bool getOctets(char* out, std::size_t count);
  // Aligns, then steps over `count` octets and returns where they start;
  // null (no step) when fewer remain.
  const char* takeOctets(std::size_t count) {
    align();
    if (octetsRemaining() < count) return nullptr;
    const char* first = position();
    cursor_.at += count;
    return first;
  }
  std::size_t octetsRemaining() const { return static_cast<std::size_t>(end_ - cursor_.at); }
  const char* position() const { return reinterpret_cast<const char*>(cursor_.at); }
  const char* buffer() const { return reinterpret_cast<const char*>(buffer_); }
  // Moves to an octet boundary at p (clamped to the end).
  void setPosition(const char* p);

  // The same reads on a cursor a caller keeps (in registers, through a
  // loop of many reads), taken from the reader and handed back.
  Cursor cursor() const { return cursor_; }
  void setCursor(Cursor c) { cursor_ = c; }
  bool getBit(Cursor& c, bool& bit) const {
    if (c.at >= end_) return false;
    bit = (*c.at >> (7 - c.used)) & 1;
    c.used = (c.used + 1) & 7;
    c.at += c.used == 0;
    return true;
  }
  bool getBits(Cursor& c, unsigned count, std::uint32_t& value) const;
  static void align(Cursor& c) {
    c.at += c.used != 0;
    c.used = 0;
  }
  // At an octet boundary: steps over `count` octets; false (no step) when
  // fewer remain.
  bool skipOctets(Cursor& c, std::size_t count) const {
    if (static_cast<std::size_t>(end_ - c.at) < count) return false;
    c.at += count;
    return true;
  }
  // The eight octets at `at` as one big-endian word, zero past the end.
  std::uint64_t peekWord(const unsigned char* at) const;

private:
  // The same from a buffer of fewer than eight octets.
  std::uint64_t shortBufferWord(const unsigned char* at) const;

  Cursor cursor_;
  const unsigned char* end_;
  const unsigned char* buffer_;
};

namespace detail {

// Eight octets as one big-endian word, whatever the host's byte order.
inline std::uint64_t loadBigEndian(const unsigned char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  word = __builtin_bswap64(word);
#endif
  return word;
}

inline void storeBigEndian(char* p, std::uint64_t word) {
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  word = __builtin_bswap64(word);
#endif
  std::memcpy(p, &word, sizeof word);
}

}  // namespace detail

inline void BitWriter::putBits(Cursor& c, std::uint64_t value, unsigned count) {
  if (count == 0) return;
  std::size_t at = c.bits / 8;
  if (at + 8 > capacity_) c = grow(c, 8);
  unsigned used = c.bits % 8;
  // Only the first octet can hold bits already (a one-octet load, which
  // the last word store forwards to).
  std::uint64_t head = std::uint64_t{static_cast<unsigned char>(c.data[at])} << 56;
  // Up to the top, then down past the used bits: the bits above `count`
  // fall off with no mask.
  detail::storeBigEndian(c.data + at, head | value << (64 - count) >> used);
  c.bits += count;
}

// Fewer than eight octets left: the buffer's last eight, shifted.
inline std::uint64_t BitReader::peekWord(const unsigned char* at) const {
  if (end_ - at >= 8) return detail::loadBigEndian(at);
  auto left = static_cast<unsigned>(end_ - at);
  if (left == 0) return 0;
  if (end_ - buffer_ >= 8) return detail::loadBigEndian(end_ - 8) << (64 - 8 * left);
  return shortBufferWord(at);
}

// Eight octets ahead hold any 32 bits after the partly read one, so the
// common case needs no count check; near the end the word comes from the
// buffer's last eight octets.
inline bool BitReader::getBits(Cursor& c, unsigned count, std::uint32_t& value) const {
  unsigned total = c.used + count;
  std::uint64_t word;
  if (end_ - c.at >= 8 && count - 1 < 32) {
    word = detail::loadBigEndian(c.at);
  } else {
    if (count > 32 || total > static_cast<std::size_t>(end_ - c.at) * 8) return false;
    if (count == 0) {
      value = 0;
      return true;
    }
    word = peekWord(c.at);
  }
  value = static_cast<std::uint32_t>(word << c.used >> (64 - count));
  c.at += total / 8;
  c.used = total % 8;
  return true;
}

inline void BitWriter::putOctetWord(Cursor& c, std::uint64_t word, unsigned count) {
  std::size_t at = (c.bits + 7) / 8;
  if (at + 8 > capacity_) c = grow(c, at + 8 - c.bits / 8);
  detail::storeBigEndian(c.data + at, word);
  c.bits = 8 * (at + count);
}

namespace detail {

// Eight 7-bit fields, first in the top bits, to and from the low seven bits
// of eight octets, halving the lanes each step. Moving a lane's upper part
// by k bits adds (2^k - 1) times it; packing adds that to the lower part
// first and shifts the whole word, the lanes' low bits being clear by then.
inline std::uint64_t spreadSevens(std::uint64_t x) {
  x += (x & 0x00FFFFFFF0000000u) * 15;
  x += (x & 0x0FFFC0000FFFC000u) * 3;
  return x + (x & 0x3F803F803F803F80u);
}

inline std::uint64_t packSevens(std::uint64_t x) {  // octets below 0x80
  x = (x + (x & 0x007F007F007F007Fu)) >> 1;
  x = (x + (x & 0x00003FFF00003FFFu) * 3) >> 2;
  return (x + (x & 0x000000000FFFFFFFu) * 15) >> 4;
}

}  // namespace detail

// Seven octets take a group of fields whole (eight of 7 bits, seven of 8),
// so each group starts at the same bit of an octet as the one before.
template <unsigned bits>
bool BitWriter::putFields(const char* octets, std::size_t count) {
  static_assert(bits == 7 || bits == 8, "octet fields");
  constexpr unsigned group = 56 / bits;
  const auto* in = reinterpret_cast<const unsigned char*>(octets);
  // Room for them all, then each group a store with no check.
  Cursor c = cursor_;
  std::size_t needed = (count * bits + 7) / 8 + 8;
  if (c.bits / 8 + needed > capacity_) c = grow(c, needed);
  char* out = c.data + c.bits / 8;
  const unsigned used = c.bits % 8;
  const auto* last = in + count / group * group;
  std::uint64_t seen = 0;
  for (; in != last; in += group, out += 7) {
    std::uint64_t word = 0;
    if constexpr (bits == 7) {
      std::uint64_t eight = detail::loadBigEndian(in);
      seen |= eight;
      word = detail::packSevens(eight);
    } else {
      for (unsigned k = 0; k < group; ++k) word = word << 8 | in[k];
    }
    std::uint64_t head = std::uint64_t{static_cast<unsigned char>(out[0])} << 56;
    detail::storeBigEndian(out, head | word << (8 - used));
  }
  c.bits = 8 * static_cast<std::size_t>(out - c.data) + used;
  // The last few fields as one more, shorter group: behind a whole group,
  // out of the eight octets that end with them.
  unsigned rest = static_cast<unsigned>(count % group);
  std::uint64_t word = 0;
  if (bits == 7 && rest && count >= 8) {
    std::uint64_t eight = detail::loadBigEndian(in + rest - 8) << (64 - 8 * rest);
    seen |= eight;
    word = detail::packSevens(eight) >> (56 - 7 * rest);
  } else {
    for (unsigned k = 0; k < rest; ++k) {
      seen |= in[k];
      word = word << bits | (in[k] & ((1u << bits) - 1));
    }
  }
  putBits(c, word, rest * bits);
  cursor_ = c;
  return bits == 8 || (seen & 0x8080808080808080u) == 0;
}

template <unsigned bits>
bool BitReader::getFields(char* octets, std::size_t count) {
  static_assert(bits == 7 || bits == 8, "octet fields");
  constexpr unsigned group = 56 / bits;
  if (count * bits > bitsRemaining()) return false;
  // Locals: the octets written may alias anything the reader holds. A
  // group's word load needs eight octets ahead.
  Cursor c = cursor_;
  std::size_t left = static_cast<std::size_t>(end_ - c.at);
  std::size_t groups = std::min(count / group, left >= 8 ? (left - 8) / 7 + 1 : 0);
  char* out = octets;
  for (char* last = octets + groups * group; out != last; out += group, c.at += 7) {
    std::uint64_t word = detail::loadBigEndian(c.at) << c.used;
    if constexpr (bits == 7) {
      detail::storeBigEndian(out, detail::spreadSevens(word >> 8));
    } else {
      for (unsigned k = 0; k < group; ++k) out[k] = static_cast<char>(word >> (56 - 8 * k));
    }
  }
  // The last few fields out of one more word.
  unsigned rest = static_cast<unsigned>(octets + count - out);
  std::uint64_t word = peekWord(c.at) << c.used;
  for (unsigned k = 0; k < rest; ++k) out[k] = static_cast<char>(word >> (64 - bits * (k + 1)) & ((1u << bits) - 1));
  std::size_t total = c.used + std::size_t{rest} * bits;
  c.at += total / 8;
  c.used = total % 8;
  cursor_ = c;
  return true;
}

}  // namespace ASN1
