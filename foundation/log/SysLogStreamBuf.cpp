#include "foundation/log/SysLogStreamBuf.h"

#include <syslog.h>

#include <cstring>

#include "foundation/log/SysLogManager.h"

namespace {
constexpr std::streamsize PlainAreaSize = 1024;
constexpr std::streamsize ManagedAreaSize = 16384;
}  // namespace

SysLogStreamBuf::SysLogStreamBuf(int facility, int level) : mPriority((facility << 3) | level) {
  setbuf(new char[PlainAreaSize], PlainAreaSize);
}

SysLogStreamBuf::~SysLogStreamBuf() { sync(); }

std::streambuf* SysLogStreamBuf::setbuf(char* area, std::streamsize size) {
  std::unique_ptr<char[]> owned(area);
  if (size < 2) return this;
  if (mArea) sync();
  mArea = std::move(owned);
  mSize = size;
  emptyArea();
  return this;
}

void SysLogStreamBuf::emptyArea() { setp(mArea.get(), mArea.get() + mSize - 1); }

int SysLogStreamBuf::sync() {
  if (!mArea) return 0;
  char* text = pbase();
  char* const end = pptr();
  *end = '\0';
  if (std::memchr(text, '\n', static_cast<std::size_t>(end - text))) {
    while (char* lineEnd = static_cast<char*>(std::memchr(text, '\n', static_cast<std::size_t>(end - text)))) {
      *lineEnd = '\0';
      emit(text);
      text = lineEnd + 1;
    }
    if (text < end) emit(text);
  } else if (end == epptr()) {
    // A full area without a line end goes out as one line.
    emit(text);
  } else {
    return 0;
  }
  endBatch();
  emptyArea();
  return 0;
}

SysLogStreamBuf::int_type SysLogStreamBuf::overflow(int_type c) {
  sync();
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  if (pptr() == epptr()) return traits_type::eof();
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}

void SysLogStreamBuf::emit(const char* line) { ::syslog(mPriority, "%s", line); }

ManagedSysLogStreamBuf::ManagedSysLogStreamBuf(int facility, int level) : SysLogStreamBuf(facility, level) {
  setbuf(new char[ManagedAreaSize], ManagedAreaSize);
}

ManagedSysLogStreamBuf::~ManagedSysLogStreamBuf() { sync(); }

void ManagedSysLogStreamBuf::emit(const char* line) { syslogManager.syslog(priority(), "%s", line); }

void ManagedSysLogStreamBuf::endBatch() { syslogManager.sendmsg(); }
