#pragma once
// The daemon's own syslog client. It formats records in the BSD syslog form
// ("<priority>Mmm dd hh:mm:ss ident[pid]: text") and sends them to the local
// log socket. Records are collected and leave together when the caller ends
// a batch (sendmsg) or the batch fills up: on a datagram socket each record
// is its own datagram, all of them in one system call; on a stream socket
// they follow each other, each ended by a NUL byte.

#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/un.h>

#include <cstddef>
#include <string>

class SysLogManager {
 public:
  // openlog option bits.
  enum Option { LogPid = 1, LogConsole = 2, LogOpenAtOnce = 8, LogToStderr = 32 };

  static constexpr std::size_t RecordSize = 1024;
  static constexpr std::size_t BatchSize = 16384;
  static constexpr std::size_t MaxPieces = 256;
  // A batch this full is sent at once, so that the next record always fits.
  static constexpr std::size_t BatchSendFill = 12289;

  SysLogManager();
  SysLogManager(const SysLogManager&) = delete;
  SysLogManager& operator=(const SysLogManager&) = delete;
  ~SysLogManager();

  // A null ident keeps the current one; a facility with bits outside the
  // facility field keeps the current default.
  void openlog(const char* ident, int options, int facility);
  void closelog();
  void syslog(int priority, const char* format, ...) __attribute__((format(printf, 3, 4)));
  // Sends the pending batch now; the batch is emptied whatever the result.
  int sendmsg();

  // The log socket, -1 when none.
  int socket() const { return mSocket; }
  bool connected() const { return mConnected; }
  int socketType() const { return mSocketType; }
  const std::string& ident() const { return mIdent; }

 private:
  void closeSocket();
  bool enqueue(const char* record, std::size_t length);
  int sendPieces();
  void toStderr(const char* text, std::size_t length);
  void toConsole(const char* text);

  int mSocketType;
  int mSocket = -1;
  bool mConnected = false;
  int mOptions = 0;
  std::string mIdent;
  int mFacility;
  sockaddr_un mAddress;
  char mRecord[RecordSize];
  char mBatch[BatchSize];
  std::size_t mFill = 0;
  iovec mPieces[MaxPieces];
  std::size_t mPieceCount = 0;
};

extern SysLogManager syslogManager;
