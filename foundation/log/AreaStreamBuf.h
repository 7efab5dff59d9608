#pragma once
// A stream buffer over one owned put area that the derived sync() empties.

#include <memory>
#include <streambuf>

class AreaStreamBuf : public std::basic_streambuf<char> {
protected:
  // reserve: bytes kept free at the end of every area.
  explicit AreaStreamBuf(std::streamsize reserve) : mReserve(reserve) {}

  // Takes ownership of the area, flushing the one before; an area under
  // 2 bytes is refused (and freed).
  std::streambuf* setbuf(char* area, std::streamsize size) override;
  // Flushes, then takes `c`; eof when the area still has no room.
  int_type overflow(int_type c) override;

  bool hasArea() const { return mArea != nullptr; }
  void emptyArea() { setp(mArea.get(), mArea.get() + mSize - mReserve); }

private:
  const std::streamsize mReserve;
  std::unique_ptr<char[]> mArea;
  std::streamsize mSize = 0;
};
