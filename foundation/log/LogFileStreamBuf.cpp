#include "foundation/log/LogFileStreamBuf.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

constexpr std::streamsize AreaSize = 16;

std::tm localTime(std::time_t when) {
  std::tm local;
  localtime_r(&when, &local);
  return local;
}

}  // namespace

LogFileStreamBuf::LogFileStreamBuf(const std::string& directory, WallClock clock)
    : AreaStreamBuf(0), mDirectory(directory), mClock(clock) {
  setbuf(new char[AreaSize], AreaSize);
  Mux::timeval now;
  mClock(now);
  openFile(localTime(now.tv_sec));
}

LogFileStreamBuf::~LogFileStreamBuf() { sync(); }

void LogFileStreamBuf::openFile(const std::tm& local) {
  mFile.close();
  mHour = local.tm_hour;
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y_%m_%d-%H", &local);
  const std::string name = mDirectory + "/" + stamp + ".log";
  mFile = Fd(::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
}

void LogFileStreamBuf::put(const char* text, std::size_t length) {
  while (mFile && length > 0) {
    const ssize_t written = ::write(mFile.get(), text, length);
    if (written < 0 && errno == EINTR) continue;
    // A log file that refuses a write loses the text: there is nowhere to report it.
    if (written <= 0) return;
    text += written;
    length -= static_cast<std::size_t>(written);
  }
}

int LogFileStreamBuf::sync() {
  if (!hasArea()) return 0;
  const char* text = pbase();
  const char* const end = pptr();
  if (mMidLine) {
    const char* lineEnd = static_cast<const char*>(std::memchr(text, '\n', static_cast<std::size_t>(end - text)));
    if (!lineEnd) {
      put(text, static_cast<std::size_t>(end - text));
      emptyArea();
      return 0;
    }
    put(text, static_cast<std::size_t>(lineEnd + 1 - text));
    text = lineEnd + 1;
    mMidLine = false;
  }

  Mux::timeval now;
  mClock(now);
  const std::tm local = localTime(now.tv_sec);
  if (local.tm_hour != mHour) openFile(local);
  char prefix[32];
  const int prefixLength = std::snprintf(prefix, sizeof prefix, "%02d:%02d:%05ld: ", local.tm_min, local.tm_sec,
                                         static_cast<long>(now.tv_usec));
  while (text < end) {
    put(prefix, static_cast<std::size_t>(prefixLength));
    const char* lineEnd = static_cast<const char*>(std::memchr(text, '\n', static_cast<std::size_t>(end - text)));
    const char* next = lineEnd ? lineEnd + 1 : end;
    put(text, static_cast<std::size_t>(next - text));
    mMidLine = !lineEnd;
    text = next;
  }
  emptyArea();
  return 0;
}
