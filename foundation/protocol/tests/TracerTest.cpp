#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "foundation/protocol/TPKTTracer.h"
#include "foundation/protocol/tests/Harness.h"

namespace {

using harness::frame;
using harness::run_until;

unsigned short free_port() {
  unsigned short port = 0;
  harness::listen_loopback(port);
  return port;
}

// A tool on the far side: blocking, with a receive limit.
struct Tool {
  explicit Tool(unsigned short port) : fd(harness::connect_loopback(port)) {
    timeval limit = {2, 0};
    setsockopt(fd.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  }
  void write(const std::string& bytes) { ::send(fd.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL); }
  std::string read(size_t n) {
    std::string got(n, '\0');
    size_t at = 0;
    while (at < n) {
      ssize_t r = ::recv(fd.get(), &got[at], n - at, 0);
      if (r <= 0) break;
      at += size_t(r);
    }
    return got.substr(0, at);
  }
  // End of file, or a reset when the tracer closed with our bytes unread.
  bool sees_close() {
    char c;
    ssize_t r = ::recv(fd.get(), &c, 1, 0);
    return r == 0 || (r < 0 && errno == ECONNRESET);
  }
  INet4::Addr address() const {
    INet4::Addr a;
    socklen_t size = INet4::Addr::size();
    getsockname(fd.get(), const_cast<INet4::Addr&>(a).sa(), &size);
    return a;
  }
  Fd fd;
};

class Broadcast : public ::testing::Test, public TPKTTracer::Listener {
protected:
  Broadcast() : log_(std::clog) {}
  void SetUp() override {
    port = free_port();
    tracer.SetListener(this);
    ASSERT_TRUE(tracer.Listen(port));
  }
  void OnTPKTMessage(const void* data, unsigned length) override {
    messages.emplace_back(static_cast<const char*>(data), length);
    if (answer) tracer.Send("re", 2);
  }
  bool accepted(unsigned n) { return run_until([&] { return tracer.connections() == n; }); }

  harness::Capture log_;
  unsigned short port = 0;
  TPKTTracer tracer;
  std::vector<std::string> messages;
  bool answer = false;
};

TEST_F(Broadcast, AnswersTheSenderDuringADeliveryAndEveryoneOtherwise) {
  // The listen backlog is 1: one tool at a time.
  Tool a(port);
  ASSERT_TRUE(accepted(1));
  Tool b(port);
  ASSERT_TRUE(accepted(2));
  EXPECT_EQ(harness::hex(log_.str().substr(0, 26)), harness::hex("ACP connection open from 1"));

  answer = true;
  a.write(frame("") + frame("hi"));
  ASSERT_TRUE(run_until([&] { return messages.size() == 1; }));
  EXPECT_EQ(messages[0], "hi");
  EXPECT_EQ(a.read(6), frame("re"));

  answer = false;
  tracer.Send("all", 3);
  EXPECT_EQ(b.read(7), frame("all"));
  EXPECT_EQ(a.read(7), frame("all"));
}

TEST_F(Broadcast, BadFramesCloseTheConnection) {
  Tool big(port);
  ASSERT_TRUE(accepted(1));
  Tool wrong(port);
  ASSERT_TRUE(accepted(2));
  Tool fits(port);
  ASSERT_TRUE(accepted(3));
  fits.write(frame(std::string(512, 'f')));
  big.write(frame(std::string(513, 'g')));
  wrong.write(std::string("\x03\x01\x00\x05x", 5));
  ASSERT_TRUE(run_until([&] { return tracer.connections() == 1 && messages.size() == 1; }));
  EXPECT_EQ(messages[0], std::string(512, 'f'));
  EXPECT_TRUE(big.sees_close());
  EXPECT_TRUE(wrong.sees_close());
}

class PeerToPeer : public ::testing::Test, public TPKTTracerP2P::Listener {
protected:
  PeerToPeer() : log_(std::clog) {}
  void SetUp() override {
    port = free_port();
    tracer.SetListener(this);
    ASSERT_TRUE(tracer.Listen(port));
  }
  void OnPeerConnected(const INet4::Addr& peer, int fd) override {
    connected.push_back(peer.GetString());
    EXPECT_GE(fd, 0);
  }
  void OnPeerClosed(const INet4::Addr& peer) override { closed.push_back(peer.GetString()); }
  void OnPeerMessage(const INet4::Addr& peer, const void* data, unsigned length) override {
    messages.push_back(peer.GetString() + " " + std::string(static_cast<const char*>(data), length));
    if (close_on_message) tracer.Close(peer);
  }

  harness::Capture log_;
  unsigned short port = 0;
  TPKTTracerP2P tracer;
  std::vector<std::string> connected, closed, messages;
  bool close_on_message = false;
};

TEST_F(PeerToPeer, SendsToOnePeerAndKnowsWhoIsThere) {
  Tool a(port);
  ASSERT_TRUE(run_until([&] { return connected.size() == 1; }));
  Tool b(port);
  ASSERT_TRUE(run_until([&] { return connected.size() == 2; }));
  INet4::Addr pa = a.address(), pb = b.address();
  EXPECT_TRUE(tracer.IsConnected(pa));
  EXPECT_NE(log_.str().find("TPKT peer-to-peer connection open from " + pa.GetString() + "\n"), std::string::npos);

  b.write(frame(std::string(2048, 'm')));
  a.write(frame("x"));
  ASSERT_TRUE(run_until([&] { return messages.size() == 2; }));
  EXPECT_NE(std::find(messages.begin(), messages.end(), pa.GetString() + " x"), messages.end());

  EXPECT_EQ(tracer.Send(pb, "to b", 4), 8);
  EXPECT_EQ(b.read(8), frame("to b"));

  INet4::Addr nobody;
  nobody.Assign("127.0.0.1:1", nullptr);
  EXPECT_EQ(tracer.Send(nobody, "x", 1), -EFAULT);
  EXPECT_EQ(tracer.Close(nobody), -EFAULT);

  EXPECT_EQ(tracer.Close(pa), 0);
  EXPECT_FALSE(tracer.IsConnected(pa));
  EXPECT_EQ(closed, std::vector<std::string>{pa.GetString()});
  EXPECT_NE(log_.str().find("TPKT peer-to-peer connection close for " + pa.GetString() + "\n"), std::string::npos);
  EXPECT_TRUE(a.sees_close());
}

TEST_F(PeerToPeer, AListenerMayCloseThePeerItIsHearing) {
  Tool a(port);
  ASSERT_TRUE(run_until([&] { return connected.size() == 1; }));
  Tool big(port);
  ASSERT_TRUE(run_until([&] { return connected.size() == 2; }));
  close_on_message = true;
  a.write(frame("one") + frame("two"));
  big.write(frame(std::string(2049, 'b')));
  ASSERT_TRUE(run_until([&] { return closed.size() == 2; }));
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_TRUE(a.sees_close());
  EXPECT_TRUE(big.sees_close());
}

}  // namespace
