#pragma once
// The one reader of D-channel bytes: a read-only view with an offset and a
// sticky error. Reading past the end never touches memory beyond the view:
// it yields 0 and marks the reader failed, so a decoder reads its fields
// first and asks ok() once.

#include <cstddef>
#include <cstdint>

namespace ISDN {

class Reader {
public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}

  uint8_t u8() {
    if (at_ >= size_) {
      failed_ = true;
      return 0;
    }
    return data_[at_++];
  }
  // Q.921 TEI management sends Ri low-order octet first.
  uint16_t u16_le() {
    const uint8_t low = u8();
    return uint16_t(low | u8() << 8);
  }
  // The next octet without taking it; 0 (and no failure) at the end.
  uint8_t peek() const { return at_ < size_ ? data_[at_] : 0; }
  // A reader over the next n octets, moved past them; when fewer are left
  // the view holds what there is and this reader fails.
  Reader take(size_t n) {
    const size_t have = n <= remaining() ? n : remaining();
    Reader part(data_ + at_, have);
    at_ += have;
    if (have < n) failed_ = true;
    return part;
  }

  bool ok() const { return !failed_; }
  bool empty() const { return at_ >= size_; }
  size_t remaining() const { return size_ - at_; }
  size_t offset() const { return at_; }
  const uint8_t* here() const { return data_ ? data_ + at_ : nullptr; }

private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
  bool failed_ = false;
};

}  // namespace ISDN
