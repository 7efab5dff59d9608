#pragma once
// The test's own log socket, bound where the syslog client looks for it (the
// daemon's, in another root, for a test that runs one).

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "board/Paths.h"

class LogSocket {
public:
  explicit LogSocket(int type, const std::string& path = Board::Paths::path(Board::Paths::SyslogSocket))
      : mType(type), mPath(path) {
    ::mkdir(path.substr(0, path.rfind('/')).c_str(), 0755);
    ::unlink(path.c_str());
    mFd = ::socket(AF_UNIX, type | SOCK_CLOEXEC, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ::bind(mFd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (type == SOCK_STREAM) ::listen(mFd, 4);
  }
  ~LogSocket() {
    if (mPeer >= 0) ::close(mPeer);
    ::close(mFd);
    ::unlink(mPath.c_str());
  }
  LogSocket(const LogSocket&) = delete;
  LogSocket& operator=(const LogSocket&) = delete;

  // The next datagram, or "" when none arrives in time.
  std::string datagram(int timeoutMs = 5000) {
    pollfd entry = {mFd, POLLIN, 0};
    if (::poll(&entry, 1, timeoutMs) != 1) return "";
    char buffer[65536];
    const ssize_t length = ::recv(mFd, buffer, sizeof buffer, 0);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : "";
  }

  // The whole records that have arrived, without waiting: each datagram, or
  // each NUL-ended run of stream bytes (accepting the client first).
  std::vector<std::string> take() {
    std::vector<std::string> records;
    if (mType == SOCK_DGRAM) {
      for (std::string next; !(next = datagram(0)).empty();) records.push_back(next);
      return records;
    }
    mPending += streamBytes(SIZE_MAX, 0);
    for (std::size_t end; (end = mPending.find('\0')) != std::string::npos; mPending.erase(0, end + 1))
      records.push_back(mPending.substr(0, end + 1));
    return records;
  }

  // Stream bytes: accepts the client first, then reads what arrives in time.
  std::string streamBytes(std::size_t wanted, int timeoutMs = 5000) {
    if (mPeer < 0) mPeer = ::accept4(mFd, nullptr, nullptr, SOCK_CLOEXEC);
    std::string all;
    pollfd entry = {mPeer, POLLIN, 0};
    while (all.size() < wanted && ::poll(&entry, 1, timeoutMs) == 1) {
      char buffer[4096];
      const ssize_t length = ::recv(mPeer, buffer, sizeof buffer, 0);
      if (length <= 0) break;
      all.append(buffer, static_cast<std::size_t>(length));
    }
    return all;
  }

private:
  int mType;
  std::string mPath;
  int mFd = -1;
  int mPeer = -1;
  std::string mPending;
};
