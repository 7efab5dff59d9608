#include "foundation/log/AreaStreamBuf.h"

std::streambuf* AreaStreamBuf::setbuf(char* area, std::streamsize size) {
  std::unique_ptr<char[]> owned(area);
  if (size < 2) return this;
  if (mArea) sync();
  mArea = std::move(owned);
  mSize = size;
  emptyArea();
  return this;
}

AreaStreamBuf::int_type AreaStreamBuf::overflow(int_type c) {
  sync();
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  if (pptr() == epptr()) return traits_type::eof();
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}
