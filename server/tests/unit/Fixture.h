#pragma once
// The controller server in this process: the real checking acceptor on a
// free loopback port, the heartbeat bound first and two probe services after
// it, and a controller socket driven from the test. Running the loop until a
// condition holds, the pinned clock and captured streams are the transport
// tests' own helpers.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/control/AcceptorNet.h"
#include "foundation/protocol/tests/Harness.h"
#include "server/CtrlServer.h"
#include "server/HeartBeatCtl.h"
#include "server/tests/Frames.h"

namespace fixture {

using harness::Capture;
using harness::run_for;
using harness::run_until;

// Pinned at the present rather than at a fixed time, so that timers armed
// before the test keep their places.
class PinnedClock : public harness::PinnedClock {
public:
  PinnedClock() { Mux::mux_settimeofday(); }
};

// Standard error and the log stream, captured together in write order.
class Logs {
public:
  Logs() : err_(std::cerr.rdbuf(text_.rdbuf())), log_(std::clog.rdbuf(text_.rdbuf())) {}
  ~Logs() {
    std::cerr.rdbuf(err_);
    std::clog.rdbuf(log_);
  }
  Logs(const Logs&) = delete;
  Logs& operator=(const Logs&) = delete;
  // What was written since the last take.
  std::string take() {
    const std::string s = text_.str();
    text_.str("");
    return s;
  }

private:
  std::ostringstream text_;
  std::streambuf* err_;
  std::streambuf* log_;
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
    port_ = harness::free_port();
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
  unsigned short port_ = 0;
};

}  // namespace fixture
