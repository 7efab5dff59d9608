#include "foundation/log/SysLogStreamBuf.h"

#include <syslog.h>

#include <cstring>

#include "foundation/log/SysLogManager.h"

namespace {
constexpr std::streamsize PlainAreaSize = 1024;
constexpr std::streamsize ManagedAreaSize = 16384;
}  // namespace

// The area's last byte stays free for the NUL that ends the pending text.
SysLogStreamBuf::SysLogStreamBuf(int facility, int level) : AreaStreamBuf(1), mPriority((facility << 3) | level) {
  setbuf(new char[PlainAreaSize], PlainAreaSize);
}

SysLogStreamBuf::~SysLogStreamBuf() { sync(); }

int SysLogStreamBuf::sync() {
  if (!hasArea()) return 0;
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

void SysLogStreamBuf::emit(const char* line) { ::syslog(mPriority, "%s", line); }

ManagedSysLogStreamBuf::ManagedSysLogStreamBuf(int facility, int level) : SysLogStreamBuf(facility, level) {
  setbuf(new char[ManagedAreaSize], ManagedAreaSize);
}

ManagedSysLogStreamBuf::~ManagedSysLogStreamBuf() { sync(); }

void ManagedSysLogStreamBuf::emit(const char* line) { syslogManager.syslog(priority(), "%s", line); }

void ManagedSysLogStreamBuf::endBatch() { syslogManager.sendmsg(); }
