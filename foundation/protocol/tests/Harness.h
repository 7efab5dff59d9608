#pragma once
// Shared by the transport tests: running the main loop until a condition
// holds (bounded in real time), pinning the loop clock, capturing a standard
// stream, and the far end of a connection speaking TPKT by hand.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>

#include "foundation/eventloop/Clock.h"
#include "foundation/eventloop/Multiplexer.h"
#include "foundation/os/Fd.h"
#include "foundation/os/INet4.h"
#include "foundation/packet/Packet.h"

namespace harness {

// Runs the main loop until done() holds or limit_ms of real time has passed;
// returns whether done() held.
inline bool run_until(const std::function<bool()>& done, int limit_ms = 3000) {
  struct Until {
    std::function<bool()> done;
    std::chrono::steady_clock::time_point deadline;
    bool met = false;
    Dpc check;
    Timer tick;
    void on_check() {
      met = done();
      if (met || std::chrono::steady_clock::now() > deadline) multiplexer.terminate();
    }
    // Bounds every poll() so the check runs even when nothing happens.
    void on_tick() { tick.set(5, &Until::on_tick, this); }
  } until;
  until.done = done;
  until.deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
  until.check.Bind(&until, &Until::on_check);
  until.check.Activate();
  until.on_tick();
  multiplexer.run(false, true);
  return until.met;
}

// Runs the loop for a number of passes' worth of real time, for checks that
// something does not happen.
inline void run_for(int ms) { run_until([] { return false; }, ms); }

// Pins the loop clock for the life of the object; advance() moves it and
// fires what fell due.
class PinnedClock {
public:
  PinnedClock() { Mux::g_tv_time = {100000, 0}; }
  ~PinnedClock() { Mux::mux_cleartimeofday(); }
  void advance(unsigned ms) {
    int64_t us = int64_t(Mux::g_tv_time.tv_sec) * 1000000 + Mux::g_tv_time.tv_usec + int64_t(ms) * 1000;
    Mux::g_tv_time = {int32_t(us / 1000000), int32_t(us % 1000000)};
    multiplexer.timers_schedule();
  }
};

// Captures one standard stream for the life of the object.
class Capture {
public:
  explicit Capture(std::ostream& stream) : stream_(stream), saved_(stream.rdbuf(text_.rdbuf())) {}
  ~Capture() { stream_.rdbuf(saved_); }
  std::string str() const { return text_.str(); }
  void clear() { text_.str(""); }

private:
  std::ostream& stream_;
  std::ostringstream text_;
  std::streambuf* saved_;
};

// A listening TCP socket on 127.0.0.1 and the port, or an ephemeral port
// (written back) when the port is 0.
inline Fd listen_loopback(unsigned short& port) {
  Fd s(socket(AF_INET, SOCK_STREAM, 0));
  int on = 1;
  setsockopt(s.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  socklen_t size = sizeof a;
  if (bind(s.get(), reinterpret_cast<sockaddr*>(&a), size) != 0 || listen(s.get(), 4) != 0) return Fd();
  getsockname(s.get(), reinterpret_cast<sockaddr*>(&a), &size);
  port = ntohs(a.sin_port);
  return s;
}

// A blocking client socket connected to 127.0.0.1:port.
inline Fd connect_loopback(unsigned short port) {
  Fd s(socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  if (connect(s.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return Fd();
  return s;
}

// Both ends of one TCP connection on loopback.
inline bool tcp_pair(Fd& one, Fd& other) {
  unsigned short port = 0;
  Fd listener = listen_loopback(port);
  other = connect_loopback(port);
  one = Fd(accept(listener.get(), nullptr, nullptr));
  return one && other;
}

// A listener on a free loopback port, closed at once; the port.
inline unsigned short free_port() {
  unsigned short port = 0;
  listen_loopback(port);
  return port;
}

// The far end of a connection: a blocking socket with a receive limit.
class Client {
public:
  explicit Client(Fd socket) : fd_(std::move(socket)) {
    timeval limit = {2, 0};
    setsockopt(fd_.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  }
  static Client tcp(unsigned short port) { return Client(connect_loopback(port)); }

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
  // End of file within the receive limit, or a reset when the other end
  // closed with our bytes unread.
  bool sees_close() {
    char c;
    ssize_t r = ::recv(fd_.get(), &c, 1, 0);
    return r == 0 || (r < 0 && errno == ECONNRESET);
  }
  INet4::Addr address() const {
    INet4::Addr a;
    socklen_t size = INet4::Addr::size();
    getsockname(fd_.get(), a.sa(), &size);
    return a;
  }
  void close() { fd_.close(); }

private:
  Fd fd_;
};

inline std::string hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string s;
  for (unsigned char c : bytes) {
    if (!s.empty()) s += ' ';
    s += digits[c >> 4];
    s += digits[c & 15];
  }
  return s;
}

inline std::string frame(const std::string& payload) {
  size_t n = payload.size() + 4;
  return std::string{3, 0, char(n >> 8), char(n & 0xFF)} + payload;
}

}  // namespace harness
