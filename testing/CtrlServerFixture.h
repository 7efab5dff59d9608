#pragma once
// The controller server in this process: the real checking acceptor on a
// free loopback port, the heartbeat bound first and two probe services after
// it, and a controller socket driven from the test with hex payloads in TPKT.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/control/AcceptorNet.h"
#include "server/CtrlServer.h"
#include "server/HeartBeatCtl.h"
#include "testing/Capture.h"
#include "testing/Frames.h"
#include "testing/Loop.h"
#include "testing/Loopback.h"

namespace Testing {

// The server's log prefix as it stands.
inline std::string ctrlHeader() {
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
inline Probe& firstProbe() {
  static Probe probe;
  return probe;
}
inline Probe& secondProbe() {
  static Probe probe;
  return probe;
}
inline void bindProbesOnce() {
  static bool bound = false;
  if (bound) return;
  bound = true;
  CtrlSrv::ctrlServer.Bind(&HeartBeatCtl::instance());
  CtrlSrv::ctrlServer.Bind(&firstProbe());
  CtrlSrv::ctrlServer.Bind(&secondProbe());
}

// The controller's end: frames out, frames (hex payloads) and the close in.
class Controller {
public:
  explicit Controller(unsigned short port) : fd_(connectLoopback(port)) { closed = !fd_; }
  Controller(const Controller&) = delete;
  Controller& operator=(const Controller&) = delete;

  void send(const std::string& hexPayload) { sendRaw(tpkt(bytes(hexPayload))); }
  void sendRaw(const std::string& raw) { ::send(fd_.get(), raw.data(), raw.size(), MSG_NOSIGNAL); }
  // Takes in what has arrived.
  void pump() {
    char buf[4096];
    for (;;) {
      const ssize_t n = ::recv(fd_.get(), buf, sizeof buf, MSG_DONTWAIT);
      if (n == 0) closed = true;
      if (n <= 0) break;
      received_.append(buf, size_t(n));
    }
    for (std::string payload; cutTpkt(received_, payload);) frames.push_back(hex(payload));
  }

  std::vector<std::string> frames;
  bool closed = false;

private:
  Fd fd_;
  std::string received_;
};

class CtrlServerTest : public ::testing::Test {
protected:
  void SetUp() override {
    bindProbesOnce();
    firstProbe().clear();
    secondProbe().clear();
    port_ = freePort();
    CtrlSrv::ctrlServer.Activate(new Control::AcceptorNetCheckConnection(port_));
  }
  void TearDown() override { CtrlSrv::ctrlServer.Deactivate(); }

  // A controller, once the server has heard of it.
  std::unique_ptr<Controller> connect() {
    const int before = firstProbe().connects;
    auto controller = std::make_unique<Controller>(port_);
    EXPECT_TRUE(runUntil([&] { return firstProbe().connects > before; }));
    return controller;
  }

  // Sends a frame and returns the replies once `replies` of them came.
  std::vector<std::string> exchange(Controller& c, const std::string& hexPayload, size_t replies = 1) {
    c.frames.clear();
    c.send(hexPayload);
    runUntil([&] {
      c.pump();
      return c.frames.size() >= replies;
    });
    return c.frames;
  }

  // Sends a frame that gets no reply: the frames that came within 50 ms of the
  // loop, counted from when `taken` holds (the loop has read it), when given.
  std::vector<std::string> sendQuietly(Controller& c, const std::string& hexPayload,
                                       const std::function<bool()>& taken = nullptr) {
    c.frames.clear();
    c.send(hexPayload);
    if (taken) runUntil(taken);
    runFor(50);
    c.pump();
    return c.frames;
  }

  bool dropped(Controller& c) {
    return runUntil([&] {
      c.pump();
      return c.closed;
    });
  }

  unsigned short port() const { return port_; }

private:
  unsigned short port_ = 0;
};

}  // namespace Testing
