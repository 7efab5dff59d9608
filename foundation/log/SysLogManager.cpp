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
#include "board/Paths.h"
#include "foundation/eventloop/Clock.h"

SysLogManager syslogManager;

namespace {

constexpr int FacilityMask = 0x3f8;
constexpr int LevelMask = 7;
constexpr int UserFacility = 1 << 3;
const char defaultIdent[] = "syslog-qv";

// Appends to a fixed record, cutting what does not fit.
class RecordText {
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

}  // namespace

SysLogManager::SysLogManager() : mSocketType(SOCK_DGRAM), mIdent(defaultIdent), mFacility(UserFacility) {
  std::memset(&mAddress, 0, sizeof mAddress);
}

SysLogManager::~SysLogManager() { closeSocket(); }

void SysLogManager::openlog(const char* ident, int options, int facility) {
  if (ident) mIdent = ident;
  mOptions = options;
  if (facility != 0 && (facility & ~FacilityMask) == 0) mFacility = facility;

  // A log socket of the other type refuses the connect with EPROTOTYPE: one
  // further attempt with that type.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (mSocket == -1) {
      const std::string path = Board::Paths::path(Board::Paths::SyslogSocket);
      if (path.size() >= sizeof mAddress.sun_path) return;
      std::memset(&mAddress, 0, sizeof mAddress);
      mAddress.sun_family = AF_UNIX;
      std::memcpy(mAddress.sun_path, path.c_str(), path.size());
      if (!(mOptions & LogOpenAtOnce)) return;
      mSocket = ::socket(AF_UNIX, mSocketType | SOCK_CLOEXEC, 0);
      if (mSocket == -1) return;
    }
    if (mConnected) return;
    if (::connect(mSocket, reinterpret_cast<const sockaddr*>(&mAddress), sizeof mAddress) == 0) {
      mConnected = true;
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
}

void SysLogManager::closeSocket() {
  if (mSocket != -1) ::close(mSocket);
  mSocket = -1;
  mConnected = false;
}

void SysLogManager::syslog(int priority, const char* format, ...) {
  if ((priority & FacilityMask) == 0) priority |= mFacility;

  RecordText record(mRecord, RecordSize);
  record.append("<%d>", priority);
  Mux::timeval now;
  Mux::gettimeval(now);
  record.appendTime("%h %e %T ", now.tv_sec);
  const std::size_t identStart = record.length();
  if (!mIdent.empty()) record.append("%s", mIdent.c_str());
  if (mOptions & LogPid) record.append("[%d]", static_cast<int>(::getpid()));
  if (!mIdent.empty()) record.append(": ");
  va_list args;
  va_start(args, format);
  record.vappend(format, args);
  va_end(args);
  const std::size_t length = record.length();

  if (mOptions & LogToStderr) toStderr(mRecord + identStart, length - identStart);

  if (!mConnected) openlog(nullptr, mOptions | LogOpenAtOnce, 0);
  // The record goes with its terminating NUL.
  if (enqueue(mRecord, length + 1)) return;
  if (mConnected) {
    closeSocket();
    openlog(nullptr, mOptions | LogOpenAtOnce, 0);
    if (enqueue(mRecord, length + 1)) return;
  }
  closeSocket();
  if (mOptions & LogConsole) toConsole(mRecord + identStart);
}

bool SysLogManager::enqueue(const char* record, std::size_t length) {
  char* start = mBatch + mFill;
  std::memcpy(start, record, length);
  mPieces[mPieceCount++] = {start, length};
  mFill += length;
  if (mPieceCount < MaxPieces && mFill < BatchSendFill) return true;
  return sendmsg() >= 0;
}

int SysLogManager::sendmsg() {
  if (mPieceCount == 0) return 0;
  const int result = mSocket == -1 ? -1 : sendPieces();
  mFill = 0;
  mPieceCount = 0;
  return result;
}

int SysLogManager::sendPieces() {
  if (mSocketType == SOCK_STREAM) {
    msghdr header = {};
    header.msg_iov = mPieces;
    header.msg_iovlen = mPieceCount;
    return static_cast<int>(::sendmsg(mSocket, &header, MSG_NOSIGNAL));
  }
  mmsghdr messages[MaxPieces] = {};
  for (std::size_t i = 0; i < mPieceCount; ++i) {
    messages[i].msg_hdr.msg_iov = &mPieces[i];
    messages[i].msg_hdr.msg_iovlen = 1;
  }
  unsigned sent = 0;
  while (sent < mPieceCount) {
    const int result = ::sendmmsg(mSocket, messages + sent, static_cast<unsigned>(mPieceCount) - sent, MSG_NOSIGNAL);
    if (result <= 0) return -1;
    sent += static_cast<unsigned>(result);
  }
  return static_cast<int>(sent);
}

void SysLogManager::toStderr(const char* text, std::size_t length) {
  iovec pieces[2] = {{const_cast<char*>(text), length}, {const_cast<char*>("\n"), 1}};
  const bool endsLine = length > 0 && text[length - 1] == '\n';
  // Nowhere to report a failed write to standard error.
  (void)::writev(STDERR_FILENO, pieces, endsLine ? 1 : 2);
}

void SysLogManager::toConsole(const char* text) {
  const std::string path = Board::Paths::path(Board::Paths::Console);
  const int console = Board::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (console < 0) return;
  char line[RecordSize + 2];
  const int length = std::snprintf(line, sizeof line, "%s\r\n", text);
  if (length > 0) Board::write(console, line, static_cast<std::size_t>(length));
  Board::close(console);
}
