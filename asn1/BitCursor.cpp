#include "asn1/BitCursor.h"

#include <algorithm>
#include <cstring>

namespace ASN1 {

void BitWriter::putOctets(const char* octets, std::size_t count) {
  Cursor& c = cursor_;
  align(c);
  std::size_t at = c.bits / 8;
  if (at + count > capacity_) c = grow(c, count);
  if (count) std::memcpy(c.data + at, octets, count);
  c.bits += 8 * count;
}

// More of the room, else the vector (zero where it grows); a write at the
// written end always finds room for its whole word.
BitWriter::Cursor BitWriter::grow(Cursor c, std::size_t more) {
  std::size_t wanted = c.bits / 8 + more;
  if (c.data == room_ && wanted <= roomSize) {
    std::size_t cleared = std::min(roomSize, std::max(2 * capacity_, wanted));
    std::memset(room_ + capacity_, 0, cleared - capacity_);
    capacity_ = cleared;
    return c;
  }
  wanted = std::max(2 * capacity_, wanted + firstClear);
  out_.resize(base_ + wanted);
  if (c.data == room_) std::memcpy(out_.data() + base_, room_, capacity_);
  capacity_ = wanted;
  return {out_.data() + base_, c.bits};
}

void BitWriter::detach() {
  std::size_t written = (cursor_.bits + 7) / 8;
  if (cursor_.data == room_)
    out_.insert(out_.end(), room_, room_ + written);
  else
    out_.resize(base_ + written);
  cursor_ = {nullptr, 0};
  capacity_ = 0;
}

void BitWriter::attach() {
  base_ = out_.size();
  std::memset(room_, 0, firstClear);
  cursor_ = {room_, 0};
  capacity_ = firstClear;
}

std::uint64_t BitReader::shortBufferWord(const unsigned char* at) const {
  std::uint64_t word = 0;
  for (unsigned i = 0; at + i < end_; ++i) word |= std::uint64_t{at[i]} << (56 - 8 * i);
  return word;
}

bool BitReader::getOctets(char* out, std::size_t count) {
  align();
  if (octetsRemaining() < count) return false;
  if (count) std::memcpy(out, cursor_.at, count);
  cursor_.at += count;
  return true;
}

void BitReader::setPosition(const char* p) {
  const auto* q = reinterpret_cast<const unsigned char*>(p);
  cursor_ = {q < end_ ? q : end_, 0};
}

}  // namespace ASN1
