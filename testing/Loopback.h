#pragma once
// TCP on 127.0.0.1 for the tests: listeners on ephemeral ports, connected
// pairs, and the far end of a connection driven by hand with a receive limit.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "foundation/os/Fd.h"
#include "foundation/os/INet4.h"

namespace Testing {

// A socket bound to 127.0.0.1 and the port, or an ephemeral port (written
// back) when the port is 0; an empty Fd when that fails. `shared`: sockets of
// this user bound so too may hold the port at once, and no other socket may,
// not even one that reuses addresses as the daemon's listeners do; so one that
// does not listen keeps the port while refusing connections. Without it, the
// port may be bound again while old connections linger.
inline Fd bindLoopback(unsigned short& port, bool shared = false) {
  Fd s(::socket(AF_INET, SOCK_STREAM, 0));
  int on = 1;
  ::setsockopt(s.get(), SOL_SOCKET, shared ? SO_REUSEPORT : SO_REUSEADDR, &on, sizeof on);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  socklen_t size = sizeof a;
  if (::bind(s.get(), reinterpret_cast<sockaddr*>(&a), size) != 0) return Fd();
  ::getsockname(s.get(), reinterpret_cast<sockaddr*>(&a), &size);
  port = ntohs(a.sin_port);
  return s;
}

// A listening socket on 127.0.0.1 and the port, as bindLoopback().
inline Fd listenLoopback(unsigned short& port, bool shared = false) {
  Fd s = bindLoopback(port, shared);
  if (!s || ::listen(s.get(), 4) != 0) return Fd();
  return s;
}

// A blocking socket connected to 127.0.0.1:port; an empty Fd when refused.
inline Fd connectLoopback(unsigned short port) {
  Fd s(::socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  if (::connect(s.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return Fd();
  return s;
}

// Both ends of one TCP connection.
inline bool tcpPair(Fd& one, Fd& other) {
  unsigned short port = 0;
  Fd listener = listenLoopback(port);
  other = connectLoopback(port);
  one = Fd(::accept(listener.get(), nullptr, nullptr));
  return one && other;
}

// A port nobody listens on right now (another process may take it).
inline unsigned short freePort() {
  unsigned short port = 0;
  listenLoopback(port);
  return port;
}

// The port of a socket's own end.
inline unsigned short localPort(int fd) {
  sockaddr_in a{};
  socklen_t size = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
  return ntohs(a.sin_port);
}

// The far end of a connection: a blocking socket that waits at most two
// seconds for what it reads.
class Client {
public:
  explicit Client(Fd socket) : fd_(std::move(socket)) {
    timeval limit = {2, 0};
    ::setsockopt(fd_.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  }
  static Client tcp(unsigned short port) { return Client(connectLoopback(port)); }

  void write(const std::string& bytes) {
    for (size_t at = 0; at < bytes.size();) {
      const ssize_t n = ::send(fd_.get(), bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
      if (n <= 0) return;
      at += size_t(n);
    }
  }
  // Exactly n bytes, or fewer on end of file or after the receive limit.
  std::string read(size_t n) {
    std::string got;
    char buf[4096];
    while (got.size() < n) {
      const ssize_t r = ::recv(fd_.get(), buf, std::min(sizeof buf, n - got.size()), 0);
      if (r <= 0) break;
      got.append(buf, size_t(r));
    }
    return got;
  }
  // End of file within the receive limit, or a reset when the other end
  // closed with our bytes unread.
  bool seesClose() {
    char c;
    const ssize_t r = ::recv(fd_.get(), &c, 1, 0);
    return r == 0 || (r < 0 && errno == ECONNRESET);
  }
  INet4::Addr address() const {
    INet4::Addr a;
    socklen_t size = INet4::Addr::size();
    ::getsockname(fd_.get(), a.sa(), &size);
    return a;
  }
  void close() { fd_.close(); }

private:
  Fd fd_;
};

}  // namespace Testing
