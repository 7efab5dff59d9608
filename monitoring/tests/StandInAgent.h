#pragma once
// A stand-in SNMP agent on the main loop of the test process: one link at a
// time, TPKT frames kept as they come, pings answered (by default with the
// MON vector set's ping response); it can drop the link and refuse new ones.
// The agent link tests and the end-to-end tests share it.

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "asn1/modules/tests/VectorFile.h"
#include "foundation/eventloop/Event.h"
#include "foundation/os/Fd.h"
#include "testing/Frames.h"
#include "testing/Loopback.h"

namespace Testing {

// The aligned PER of a MON vector of the tree's own set, as hex.
inline std::string monVector(const std::string& id) { return VectorFile::named(id).aper; }

// Command.ping and Response.ping.
inline const std::string& monPing() {
  static const std::string ping = monVector("MON-v0012");
  return ping;
}
inline const std::string& monPingResponse() {
  static const std::string response = monVector("MON-v0022");
  return response;
}

class StandInAgent {
public:
  StandInAgent() : answer(monPingResponse()) { listen(); }
  // Listens, after refuse() on the port it kept.
  void listen() {
    listener_ = bound(port, true);
    kept_.close();
    accept_.Bind("agent accept", &StandInAgent::OnAccept, this);
    accept_.Schedule(listener_, POLLIN);
  }
  // Connections are refused, and the port stays bound meanwhile, so that no
  // other process gets it and the agent listens on it again.
  void refuse() {
    kept_ = bound(port, false);
    accept_.Release();
    listener_.close();
  }
  void drop() { link_.Release(); }
  bool linked() const { return bool(link_.fd()); }

  unsigned short port = 0;
  bool answerPings = true;
  // The hex payload a ping is answered with.
  std::string answer;
  // The payloads received, as bytes.
  std::vector<std::string> frames;

private:
  // The loop calls every handler on every pass, with what poll() returned.
  void OnAccept(int, short revents) {
    if (!(revents & POLLIN)) return;
    link_.Bind("agent link", &StandInAgent::OnData, this);
    link_.Schedule(Fd(accept(listener_.get(), nullptr, nullptr)), POLLIN);
  }
  void OnData(int fd, short revents) {
    if (!revents) return;
    char bytes[4096];
    const ssize_t n = ::read(fd, bytes, sizeof bytes);
    if (n <= 0) return link_.Release();
    buffer_.append(bytes, size_t(n));
    for (std::string payload; cutTpkt(buffer_, payload);) {
      frames.push_back(payload);
      if (hex(payload) == monPing() && answerPings) write(answer);
    }
  }
  void write(const std::string& payloadHex) {
    const std::string frame = tpkt(Testing::bytes(payloadHex));
    ASSERT_EQ(::write(link_.fd().get(), frame.data(), frame.size()), ssize_t(frame.size()));
  }

  // A socket on 127.0.0.1:port (an ephemeral port, written back, when 0),
  // sharing the port with the agent's other one.
  static Fd bound(unsigned short& port, bool listening) {
    const unsigned short asked = port;
    Fd s = listening ? listenLoopback(port, true) : bindLoopback(port, true);
    EXPECT_TRUE(s) << asked << ": " << std::strerror(errno);
    return s;
  }

  Fd listener_;
  Fd kept_;
  Event accept_;
  Event link_;
  std::string buffer_;
};

}  // namespace Testing
