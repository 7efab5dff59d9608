#include "foundation/log/SysLogManager.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "board/Board.h"
#include "board/DevicePaths.h"
#include "board/Paths.h"
#include "foundation/eventloop/Clock.h"

SysLogManager syslogManager;

namespace {

constexpr int FacilityMask = 0x3f8;
constexpr int UserFacility = 1 << 3;
constexpr int WarningLevel = 4;
const char defaultIdent[] = "syslog-qv";

}  // namespace

// Appends to a fixed record, cutting what does not fit.
class SysLogManager::RecordText {
public:
  RecordText(char* buffer, std::size_t size) : mBuffer(buffer), mSize(size) { std::memset(buffer, 0, size); }

  void vappend(const char* format, va_list args) {
    const int wanted = std::vsnprintf(mBuffer + mUsed, mSize - mUsed, format, args);
    if (wanted > 0) mUsed = std::min(mSize - 1, mUsed + static_cast<std::size_t>(wanted));
  }
  void append(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    va_list args;
    va_start(args, format);
    vappend(format, args);
    va_end(args);
  }
  void appendTime(const char* format, std::time_t when) {
    std::tm local;
    localtime_r(&when, &local);
    mUsed += std::strftime(mBuffer + mUsed, mSize - mUsed, format, &local);
  }
  std::size_t length() const { return mUsed; }

private:
  char* mBuffer;
  std::size_t mSize;
  std::size_t mUsed = 0;
};

SysLogManager::SysLogManager()
    : mSocketType(SOCK_DGRAM), mIdent(defaultIdent), mFacility(UserFacility), mDroppedFacility(UserFacility) {
  std::memset(&mAddress, 0, sizeof mAddress);
  mWritable.Bind("SysLogManager::onWritable", &SysLogManager::onWritable, this);
}

SysLogManager::~SysLogManager() { closeSocket(); }

void SysLogManager::openlog(const char* ident, int options, int facility) {
  if (ident) mIdent = ident;
  mOptions = options;
  if (facility != 0 && (facility & ~FacilityMask) == 0) mFacility = facility;

  // A log socket of the other type refuses the connect with EPROTOTYPE: one
  // further attempt with that type.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!mSocket) {
      const std::string path = Board::Paths::path(Board::Paths::SyslogSocket);
      if (path.size() >= sizeof mAddress.sun_path) return;
      std::memset(&mAddress, 0, sizeof mAddress);
      mAddress.sun_family = AF_UNIX;
      std::memcpy(mAddress.sun_path, path.c_str(), path.size());
      if (!(mOptions & LogOpenAtOnce)) return;
      // Non-blocking for the connect, so that a stream logger that stops
      // accepting cannot hold the daemon; blocking again after it, for the
      // children that write to the standard descriptors it becomes. The
      // daemon's own sends never wait (MSG_DONTWAIT).
      mSocket = Fd(::socket(AF_UNIX, mSocketType | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
      if (!mSocket) return;
    }
    if (mConnected) return;
    if (::connect(mSocket.get(), reinterpret_cast<const sockaddr*>(&mAddress), sizeof mAddress) == 0) {
      mConnected = true;
      BlockMode(mSocket.get());
      watch();
      return;
    }
    const int error = errno;
    closeSocket();
    if (error != EPROTOTYPE) return;
    mSocketType = mSocketType == SOCK_DGRAM ? SOCK_STREAM : SOCK_DGRAM;
  }
}

void SysLogManager::closelog() {
  closeSocket();
  mIdent = defaultIdent;
  mSocketType = SOCK_DGRAM;
  mFill = 0;
  mPieceCount = 0;
  mDropped = 0;
}

void SysLogManager::closeSocket() {
  mWritable.Release();
  mSocket.close();
  mConnected = false;
  mFull = false;
  // The rest of a record begun means nothing on another connection.
  if (mBegun) dropFirst();
}

void SysLogManager::syslog(int priority, const char* format, ...) {
  if ((priority & FacilityMask) == 0) priority |= mFacility;

  RecordText record(mRecord, RecordSize);
  const std::size_t identStart = appendHeader(record, priority);
  va_list args;
  va_start(args, format);
  record.vappend(format, args);
  va_end(args);
  const std::size_t length = record.length();

  if (mOptions & LogToStderr) toStderr(mRecord + identStart, length - identStart);

  if (!mConnected) openlog(nullptr, mOptions | LogOpenAtOnce, 0);
  mDroppedFacility = priority & FacilityMask;
  // The record goes with its terminating NUL.
  if (enqueue(mRecord, length + 1)) return;
  if (mConnected) {
    closeSocket();
    openlog(nullptr, mOptions | LogOpenAtOnce, 0);
    if (send() >= 0 || errno == EAGAIN) return;
  }
  dropAll();
  closeSocket();
  if (mOptions & LogConsole) toConsole(mRecord + identStart);
}

std::size_t SysLogManager::appendHeader(RecordText& record, int priority) const {
  record.append("<%d>", priority);
  Mux::timeval now;
  Mux::gettimeval(now);
  record.appendTime("%h %e %T ", now.tv_sec);
  const std::size_t identStart = record.length();
  if (!mIdent.empty()) record.append("%s", mIdent.c_str());
  if (mOptions & LogPid) record.append("[%d]", static_cast<int>(::getpid()));
  if (!mIdent.empty()) record.append(": ");
  return identStart;
}

bool SysLogManager::enqueue(const char* record, std::size_t length) {
  if (!queue(record, length)) {
    if (send() < 0 && errno != EAGAIN) {
      // What the broken link held is lost; the record waits for the next one.
      dropAll();
      queue(record, length);
      return false;
    }
    if (!queue(record, length)) {
      ++mDropped;
      return true;
    }
  }
  if (mPieceCount < MaxPieces && mFill < BatchSendFill) return true;
  return send() >= 0 || errno == EAGAIN;
}

bool SysLogManager::queue(const char* record, std::size_t length) {
  char note[RecordSize];
  const std::size_t noteLength = mDropped > 0 ? formatDropped(note) : 0;
  if (mPieceCount + (noteLength > 0 ? 2 : 1) > MaxPieces || mFill + noteLength + length > BatchSize) return false;
  if (noteLength > 0) append(note, noteLength, mDropped);
  append(record, length, 0);
  return true;
}

void SysLogManager::queueDropped() {
  char note[RecordSize];
  const std::size_t length = formatDropped(note);
  if (mPieceCount < MaxPieces && mFill + length <= BatchSize) append(note, length, mDropped);
}

std::size_t SysLogManager::formatDropped(char* out) const {
  RecordText record(out, RecordSize);
  appendHeader(record, mDroppedFacility | WarningLevel);
  record.append("syslog: %lu records dropped", mDropped);
  return record.length() + 1;
}

void SysLogManager::append(const char* record, std::size_t length, unsigned long reports) {
  char* start = mBatch + mFill;
  std::memcpy(start, record, length);
  mPieces[mPieceCount] = {start, length};
  mReports[mPieceCount++] = reports;
  mFill += length;
  if (reports > 0) mDropped = 0;
}

int SysLogManager::sendmsg() {
  const int result = send();
  if (result < 0 && errno != EAGAIN) {
    const int error = errno;
    dropAll();
    errno = error;
  }
  return result;
}

int SysLogManager::send() {
  if (mPieceCount == 0) return 0;
  if (!mSocket) {
    errno = ENOTCONN;
    return -1;
  }
  std::size_t whole = 0;
  std::size_t part = 0;
  const int result = mSocketType == SOCK_STREAM ? sendStream(whole, part) : sendDatagrams(whole);
  const int error = errno;
  forget(whole, part);
  mFull = mPieceCount > 0;
  watch();
  errno = error;
  return result;
}

int SysLogManager::sendStream(std::size_t& whole, std::size_t& part) {
  msghdr header = {};
  header.msg_iov = mPieces;
  header.msg_iovlen = mPieceCount;
  const ssize_t sent = ::sendmsg(mSocket.get(), &header, MSG_NOSIGNAL | MSG_DONTWAIT);
  for (std::size_t left = sent > 0 ? static_cast<std::size_t>(sent) : 0; left > 0; ++whole) {
    if (left < mPieces[whole].iov_len) {
      part = left;
      break;
    }
    left -= mPieces[whole].iov_len;
  }
  return static_cast<int>(sent);
}

int SysLogManager::sendDatagrams(std::size_t& whole) {
  mmsghdr messages[MaxPieces] = {};
  for (std::size_t i = 0; i < mPieceCount; ++i) {
    messages[i].msg_hdr.msg_iov = &mPieces[i];
    messages[i].msg_hdr.msg_iovlen = 1;
  }
  while (whole < mPieceCount) {
    const int result = ::sendmmsg(mSocket.get(), messages + whole, static_cast<unsigned>(mPieceCount - whole),
                                  MSG_NOSIGNAL | MSG_DONTWAIT);
    if (result <= 0) break;
    whole += static_cast<std::size_t>(result);
  }
  return whole > 0 ? static_cast<int>(whole) : -1;
}

void SysLogManager::forget(std::size_t whole, std::size_t part) {
  if (whole == 0 && part == 0) return;
  mBegun = part > 0;
  if (whole == mPieceCount) {
    mFill = 0;
    mPieceCount = 0;
    return;
  }
  char* const from = static_cast<char*>(mPieces[whole].iov_base) + part;
  const std::size_t shift = static_cast<std::size_t>(from - mBatch);
  mFill -= shift;
  std::memmove(mBatch, from, mFill);
  mPieceCount -= whole;
  for (std::size_t i = 0; i < mPieceCount; ++i) {
    mPieces[i].iov_base = static_cast<char*>(mPieces[i + whole].iov_base) - shift;
    mPieces[i].iov_len = mPieces[i + whole].iov_len;
    mReports[i] = mReports[i + whole];
  }
  mPieces[0].iov_base = mBatch;
  mPieces[0].iov_len -= part;
}

// A count record dropped hands its count back.
void SysLogManager::dropFirst() {
  mDropped += mReports[0] > 0 ? mReports[0] : 1;
  mBegun = false;
  forget(1, 0);
}

void SysLogManager::dropAll() {
  while (mPieceCount > 0) dropFirst();
}

void SysLogManager::watch() {
  const bool wanted = mConnected && (mFull || mDropped > 0);
  if (wanted == mWritable.attached()) return;
  if (wanted) {
    mWritable.Schedule(mSocket, POLLOUT);
  } else {
    mWritable.Release();
  }
}

// The logger reads again: what it held back goes, then the count of what was lost.
void SysLogManager::onWritable(int, short revents) {
  if (mDropped > 0) queueDropped();
  const bool failed = send() < 0 && errno != EAGAIN;
  if (failed || (revents & (POLLERR | POLLHUP | POLLNVAL))) {
    dropAll();
    closeSocket();
  }
}

void SysLogManager::toStderr(const char* text, std::size_t length) {
  iovec pieces[2] = {{const_cast<char*>(text), length}, {const_cast<char*>("\n"), 1}};
  const bool endsLine = length > 0 && text[length - 1] == '\n';
  // Nowhere to report a failed write to standard error.
  (void)::writev(STDERR_FILENO, pieces, endsLine ? 1 : 2);
}

void SysLogManager::toConsole(const char* text) {
  const int console = Board::open(GetConsoleDevName(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (console < 0) return;
  char line[RecordSize + 2];
  const int length = std::snprintf(line, sizeof line, "%s\r\n", text);
  if (length > 0) Board::write(console, line, static_cast<std::size_t>(length));
  Board::close(console);
}
