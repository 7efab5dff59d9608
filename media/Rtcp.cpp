#include "media/Rtcp.h"

#include <algorithm>
#include <cstring>

#include "board/Record.h"

namespace RTPC {

namespace {

constexpr unsigned HeaderLen = 4;
constexpr unsigned SsrcLen = 4;
constexpr unsigned TextMax = 255;

unsigned roundUp4(unsigned n) { return (n + 3) & ~3u; }
// Room a body may fill: its start lies on a 32-bit boundary of the packet,
// so its padding fits exactly when its room is a multiple of 4.
unsigned paddedRoom(unsigned size) { return size & ~3u; }

void putSsrc(char* buf, uint32_t ssrc) { Board::RecordWriter(buf, SsrcLen).u32(0, ssrc); }

}  // namespace

unsigned Msg::encode(char* buf, unsigned size) const {
  if (size < HeaderLen + SsrcLen) return 0;
  const unsigned body = encode_body(buf + HeaderLen, size - HeaderLen);
  if (body == 0) return 0;
  const unsigned total = HeaderLen + body;
  Board::RecordWriter out(buf, HeaderLen);
  out.u8(0, uint8_t(0x80 | (count() & 0x1F)));  // version 2, no padding
  out.u8(1, uint8_t(pt()));
  out.u16(2, uint16_t(total / 4 - 1));
  return total;
}

void SDES::add(Item::Type type, const std::string& text) { items_.push_back({type, text.substr(0, TextMax)}); }

unsigned SDES::encode_body(char* buf, unsigned size) const {
  size = paddedRoom(size);
  if (size < SsrcLen) return 0;
  putSsrc(buf, ssrc_);
  if (items_.empty() || size - SsrcLen < 8) return SsrcLen;
  unsigned at = SsrcLen;
  for (const Item& item : items_) {
    const unsigned length = unsigned(item.text.size());
    // The item, the list's end octet and the padding to the next word.
    if (size - at < ((length + 6) & ~3u)) break;
    buf[at] = char(item.type);
    buf[at + 1] = char(length);
    std::memcpy(buf + at + 2, item.text.data(), length);
    at += 2 + length;
  }
  const unsigned end = roundUp4(at + 1);
  std::memset(buf + at, 0, end - at);
  return end;
}

unsigned BYE::encode_body(char* buf, unsigned size) const {
  size = paddedRoom(size);
  if (size < SsrcLen) return 0;
  putSsrc(buf, ssrc_);
  const unsigned room = size - SsrcLen;
  if (reason_.empty() || room < 2) return SsrcLen;
  const unsigned length = std::min({unsigned(reason_.size()), TextMax, room - 1});
  buf[SsrcLen] = char(length);
  std::memcpy(buf + SsrcLen + 1, reason_.data(), length);
  const unsigned end = roundUp4(SsrcLen + 1 + length);
  std::memset(buf + SsrcLen + 1 + length, 0, end - SsrcLen - 1 - length);
  return end;
}

}  // namespace RTPC
