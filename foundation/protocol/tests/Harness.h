#pragma once
// Shared by the transport tests: running the main loop until a condition
// holds (bounded in real time), pinning the loop clock, and capturing what
// a stream receives.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>

#include "foundation/eventloop/Clock.h"
#include "foundation/eventloop/Multiplexer.h"
#include "foundation/os/Fd.h"
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
