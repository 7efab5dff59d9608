#pragma once
// The far end of a control connection in the tests: a blocking socket with
// a receive limit, speaking TPKT by hand.

#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <string>

#include "foundation/os/Fd.h"
#include "foundation/protocol/tests/Harness.h"

class Client {
public:
  explicit Client(Fd socket) : fd_(std::move(socket)) {
    timeval limit = {2, 0};
    setsockopt(fd_.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  }
  static Client tcp(unsigned short port) { return Client(harness::connect_loopback(port)); }

  bool ok() const { return bool(fd_); }
  void write(const std::string& bytes) {
    for (size_t at = 0; at < bytes.size();) {
      ssize_t n = ::send(fd_.get(), bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
      if (n <= 0) return;
      at += size_t(n);
    }
  }
  // Exactly n bytes, or fewer on end of file or after the receive limit.
  std::string read(size_t n) {
    std::string got;
    char buf[4096];
    while (got.size() < n) {
      ssize_t r = ::recv(fd_.get(), buf, std::min(sizeof buf, n - got.size()), 0);
      if (r <= 0) break;
      got.append(buf, size_t(r));
    }
    return got;
  }
  // True when the other end closed (end of file within the receive limit).
  bool sees_eof() {
    char c;
    return ::recv(fd_.get(), &c, 1, 0) == 0;
  }
  void close() { fd_.close(); }

private:
  Fd fd_;
};
