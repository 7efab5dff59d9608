#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "foundation/protocol/TPKTTracer.h"
#include "foundation/protocol/tests/Harness.h"

namespace {

using harness::Client;
using harness::frame;
using harness::run_until;

class Broadcast : public ::testing::Test, public TPKTTracer::Listener {
protected:
  Broadcast() : log_(std::clog) {}
  void SetUp() override {
    tracer.SetListener(this);
    ASSERT_TRUE(tracer.Listen(port));
  }
  void OnTPKTMessage(const void* data, unsigned length) override {
    messages.emplace_back(static_cast<const char*>(data), length);
    if (answer) tracer.Send("re", 2);
  }
  // The listen backlog is 1: one tool at a time.
  Client tool() {
    Client c = Client::tcp(port);
    unsigned before = tracer.connections();
    EXPECT_TRUE(run_until([&] { return tracer.connections() > before; }));
    return c;
  }

  harness::Capture log_;
  unsigned short port = harness::free_port();
  TPKTTracer tracer;
  std::vector<std::string> messages;
  bool answer = false;
};

TEST_F(Broadcast, AnswersTheSenderDuringADeliveryAndEveryoneOtherwise) {
  Client a = tool(), b = tool();
  EXPECT_EQ(log_.str().substr(0, 26), "ACP connection open from 1");

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
  Client big = tool(), wrong = tool(), fits = tool();
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
  Client peer() {
    Client c = Client::tcp(port);
    size_t before = connected.size();
    EXPECT_TRUE(run_until([&] { return connected.size() > before; }));
    return c;
  }

  harness::Capture log_;
  unsigned short port = harness::free_port();
  TPKTTracerP2P tracer;
  std::vector<std::string> connected, closed, messages;
  bool close_on_message = false;
};

TEST_F(PeerToPeer, SendsToOnePeerAndKnowsWhoIsThere) {
  Client a = peer(), b = peer();
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
  Client a = peer(), big = peer();
  close_on_message = true;
  a.write(frame("one") + frame("two"));
  big.write(frame(std::string(2049, 'b')));
  ASSERT_TRUE(run_until([&] { return closed.size() == 2; }));
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_TRUE(a.sees_close());
  EXPECT_TRUE(big.sees_close());
}

}  // namespace
