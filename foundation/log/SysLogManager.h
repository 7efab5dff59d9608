#pragma once
// The daemon's own syslog client. It formats records in the BSD syslog form
// ("<priority>Mmm dd hh:mm:ss ident[pid]: text") and sends them to the local
// log socket. Records are collected and leave together when the caller ends
// a batch (sendmsg) or the batch fills up: on a datagram socket each record
// is its own datagram, all of them in one system call; on a stream socket
// they follow each other, each ended by a NUL byte.
//
// Nothing waits for the logger. What it has no room for stays in the batch
// and leaves as soon as the socket takes more (the main loop watches it); a
// record that finds the batch full is dropped and counted, and the count
// goes out as a record of its own where the records went missing. A record a
// stream logger took only part of is finished before anything else.

#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/un.h>

#include <cstddef>
#include <string>

#include "foundation/eventloop/Event.h"
#include "foundation/os/Fd.h"

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
  // Sends the batch now: the system call's result. What a full logger did
  // not take stays (-1 with errno EAGAIN when it took nothing); on any other
  // failure the batch is dropped.
  int sendmsg();

  // The log socket, -1 when none.
  int socket() const { return mSocket.get(); }
  bool connected() const { return mConnected; }
  int socketType() const { return mSocketType; }
  const std::string& ident() const { return mIdent; }

private:
  class RecordText;

  void closeSocket();
  // "<priority>Mmm dd hh:mm:ss ident[pid]: "; returns where the ident begins.
  std::size_t appendHeader(RecordText& record, int priority) const;
  // False when a send failed for a reason other than a full logger; the record is queued all the same.
  bool enqueue(const char* record, std::size_t length);
  // The record, after the count of those lost before it; false when the batch has no room for both.
  bool queue(const char* record, std::size_t length);
  // The count of lost records, when the batch has room for it.
  void queueDropped();
  std::size_t formatDropped(char* out) const;
  // `reports`: the records a count record stands for, 0 for any other.
  void append(const char* record, std::size_t length, unsigned long reports);
  // Sends without waiting and keeps what did not go.
  int send();
  int sendStream(std::size_t& whole, std::size_t& part);
  int sendDatagrams(std::size_t& whole);
  // Takes what was sent out of the batch: whole pieces, then bytes of the next one.
  void forget(std::size_t whole, std::size_t part);
  void dropFirst();
  void dropAll();
  // The socket is watched for room while the logger holds records back or lost some.
  void watch();
  void onWritable(int fd, short revents);
  void toStderr(const char* text, std::size_t length);
  void toConsole(const char* text);

  int mSocketType;
  Fd mSocket;
  bool mConnected = false;
  int mOptions = 0;
  std::string mIdent;
  int mFacility;
  sockaddr_un mAddress;
  char mRecord[RecordSize];
  char mBatch[BatchSize];
  std::size_t mFill = 0;
  iovec mPieces[MaxPieces];
  unsigned long mReports[MaxPieces];
  std::size_t mPieceCount = 0;
  // The first piece was partly sent (stream).
  bool mBegun = false;
  // The last send left records behind.
  bool mFull = false;
  // Records lost since the last count was queued, and the facility to report them in.
  unsigned long mDropped = 0;
  int mDroppedFacility;
  Event mWritable;
};

extern SysLogManager syslogManager;
