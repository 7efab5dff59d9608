#pragma once
// The controller server in this process: the real checking acceptor on a
// free loopback port, the heartbeat bound first and two probe services after
// it, a controller socket driven from the test, and the main loop run until
// a condition holds (bounded in real time).

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/control/AcceptorNet.h"
#include "foundation/eventloop/Clock.h"
#include "foundation/eventloop/Multiplexer.h"
#include "server/CtrlServer.h"
#include "server/HeartBeatCtl.h"
#include "server/tests/Frames.h"

namespace fixture {

// Runs the main loop until done() holds or limitMs of real time has passed.
inline bool run_until(const std::function<bool()>& done, int limitMs = 3000) {
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
    // Keeps poll() short so that the check runs even when nothing happens.
    void on_tick() { tick.set(5, &Until::on_tick, this); }
  } until;
  until.done = done;
  until.deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  until.check.Bind(&until, &Until::on_check);
  until.check.Activate();
  until.on_tick();
  multiplexer.run(false, true);
  return until.met;
}

// For checks that something does not happen.
inline void run_for(int ms) { run_until([] { return false; }, ms); }

// Pins the loop clock at the present; advance() moves it and fires what fell due.
class PinnedClock {
public:
  PinnedClock() { Mux::mux_settimeofday(); }
  ~PinnedClock() { Mux::mux_cleartimeofday(); }
  void advance(unsigned ms) {
    const int64_t us = int64_t(Mux::g_tv_time.tv_sec) * 1000000 + Mux::g_tv_time.tv_usec + int64_t(ms) * 1000;
    Mux::g_tv_time.tv_sec = decltype(Mux::g_tv_time.tv_sec)(us / 1000000);
    Mux::g_tv_time.tv_usec = decltype(Mux::g_tv_time.tv_usec)(us % 1000000);
    multiplexer.timers_schedule();
  }
};

// One standard stream captured for the life of the object.
class Capture {
public:
  explicit Capture(std::ostream& stream) : stream_(stream), saved_(stream.rdbuf(text_.rdbuf())) {}
  ~Capture() { stream_.rdbuf(saved_); }
  std::string str() const { return text_.str(); }

private:
  std::ostream& stream_;
  std::ostringstream text_;
  std::streambuf* saved_;
};

inline size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The server's log prefix as it stands.
inline std::string header() {
  std::ostringstream out;
  CtrlSrv::ctrlServer.PutHeader(out);
  return out.str();
}

// A service whose answers each test chooses.
class Probe : public CtrlSrv::Service {
public:
  void OnConnect() override { ++connects; }
  void OnDisconnect() override { ++disconnects; }
  bool OnCommand(const LGCP::Command& cmd) override { return take && take(*this, cmd); }
  void OnSignal(const LGCP::Signal& sig) override { seen.push_back(sig.asValueNotation()); }

  void clear() {
    take = nullptr;
    connects = disconnects = 0;
    seen.clear();
  }

  std::function<bool(Probe&, const LGCP::Command&)> take;
  int connects = 0;
  int disconnects = 0;
  std::vector<std::string> seen;
};

// Bound once for the whole test program, after the heartbeat.
inline Probe& first() {
  static Probe probe;
  return probe;
}
inline Probe& second() {
  static Probe probe;
  return probe;
}
inline void bindOnce() {
  static bool bound = false;
  if (bound) return;
  bound = true;
  CtrlSrv::ctrlServer.Bind(&HeartBeatCtl::instance());
  CtrlSrv::ctrlServer.Bind(&first());
  CtrlSrv::ctrlServer.Bind(&second());
}

// The controller's end: frames out, frames and the close in.
class Controller {
public:
  explicit Controller(unsigned short port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) closed = true;
  }
  ~Controller() { ::close(fd_); }
  Controller(const Controller&) = delete;
  Controller& operator=(const Controller&) = delete;

  void send(const std::string& hexPayload) { sendRaw(frames::tpkt(hexPayload)); }
  void sendRaw(const std::string& bytes) { ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
  // Takes in what has arrived.
  void pump() {
    char buf[4096];
    for (;;) {
      const ssize_t n = ::recv(fd_, buf, sizeof buf, MSG_DONTWAIT);
      if (n == 0) closed = true;
      if (n <= 0) break;
      received_.append(buf, size_t(n));
    }
    for (std::string payload; frames::cut(received_, payload);) frames.push_back(payload);
  }

  std::vector<std::string> frames;
  bool closed = false;

private:
  int fd_;
  std::string received_;
};

class ServerTest : public ::testing::Test {
protected:
  void SetUp() override {
    bindOnce();
    first().clear();
    second().clear();
    port_ = freePort();
    CtrlSrv::ctrlServer.Activate(new Control::AcceptorNetCheckConnection(port_));
  }
  void TearDown() override { CtrlSrv::ctrlServer.Deactivate(); }

  // A controller, once the server has heard of it.
  std::unique_ptr<Controller> connect() {
    const int before = first().connects;
    auto controller = std::make_unique<Controller>(port_);
    EXPECT_TRUE(run_until([&] { return first().connects > before; }));
    return controller;
  }

  // Sends a frame and returns the replies once `replies` of them came.
  std::vector<std::string> exchange(Controller& c, const std::string& hexPayload, size_t replies = 1) {
    c.frames.clear();
    c.send(hexPayload);
    run_until([&] {
      c.pump();
      return c.frames.size() >= replies;
    });
    return c.frames;
  }

  // Sends a frame and lets the loop run a while: for frames that get no reply.
  std::vector<std::string> sendQuietly(Controller& c, const std::string& hexPayload) {
    c.frames.clear();
    c.send(hexPayload);
    run_for(50);
    c.pump();
    return c.frames;
  }

  bool dropped(Controller& c) {
    return run_until([&] {
      c.pump();
      return c.closed;
    });
  }

  unsigned short port() const { return port_; }

private:
  static unsigned short freePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(s);
    return ntohs(a.sin_port);
  }

  unsigned short port_ = 0;
};

}  // namespace fixture
