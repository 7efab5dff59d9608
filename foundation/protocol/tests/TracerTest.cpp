#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "foundation/protocol/TPKTTracer.h"
#include "testing/Capture.h"
#include "testing/Frames.h"
#include "testing/Loop.h"
#include "testing/Loopback.h"

namespace {

using Testing::Client;
using Testing::runUntil;
using Testing::tpkt;

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
    EXPECT_TRUE(runUntil([&] { return tracer.connections() > before; }));
    return c;
  }

  Testing::Capture log_;
  unsigned short port = Testing::freePort();
  TPKTTracer tracer;
  std::vector<std::string> messages;
  bool answer = false;
};

TEST_F(Broadcast, AnswersTheSenderDuringADeliveryAndEveryoneOtherwise) {
  Client a = tool(), b = tool();
  EXPECT_EQ(log_.str().substr(0, 26), "ACP connection open from 1");

  answer = true;
  a.write(tpkt("") + tpkt("hi"));
  ASSERT_TRUE(runUntil([&] { return messages.size() == 1; }));
  EXPECT_EQ(messages[0], "hi");
  EXPECT_EQ(a.read(6), tpkt("re"));

  answer = false;
  tracer.Send("all", 3);
  EXPECT_EQ(b.read(7), tpkt("all"));
  EXPECT_EQ(a.read(7), tpkt("all"));
}

TEST_F(Broadcast, BadFramesCloseTheConnection) {
  Client big = tool(), wrong = tool(), fits = tool();
  fits.write(tpkt(std::string(512, 'f')));
  big.write(tpkt(std::string(513, 'g')));
  wrong.write(std::string("\x03\x01\x00\x05x", 5));
  ASSERT_TRUE(runUntil([&] { return tracer.connections() == 1 && messages.size() == 1; }));
  EXPECT_EQ(messages[0], std::string(512, 'f'));
  EXPECT_TRUE(big.seesClose());
  EXPECT_TRUE(wrong.seesClose());
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
    EXPECT_TRUE(runUntil([&] { return connected.size() > before; }));
    return c;
  }

  Testing::Capture log_;
  unsigned short port = Testing::freePort();
  TPKTTracerP2P tracer;
  std::vector<std::string> connected, closed, messages;
  bool close_on_message = false;
};

TEST_F(PeerToPeer, SendsToOnePeerAndKnowsWhoIsThere) {
  Client a = peer(), b = peer();
  INet4::Addr pa = a.address(), pb = b.address();
  EXPECT_TRUE(tracer.IsConnected(pa));
  EXPECT_NE(log_.str().find("TPKT peer-to-peer connection open from " + pa.GetString() + "\n"), std::string::npos);

  b.write(tpkt(std::string(2048, 'm')));
  a.write(tpkt("x"));
  ASSERT_TRUE(runUntil([&] { return messages.size() == 2; }));
  EXPECT_NE(std::find(messages.begin(), messages.end(), pa.GetString() + " x"), messages.end());

  EXPECT_EQ(tracer.Send(pb, "to b", 4), 8);
  EXPECT_EQ(b.read(8), tpkt("to b"));

  INet4::Addr nobody;
  nobody.Assign("127.0.0.1:1", nullptr);
  EXPECT_EQ(tracer.Send(nobody, "x", 1), -EFAULT);
  EXPECT_EQ(tracer.Close(nobody), -EFAULT);

  EXPECT_EQ(tracer.Close(pa), 0);
  EXPECT_FALSE(tracer.IsConnected(pa));
  EXPECT_EQ(closed, std::vector<std::string>{pa.GetString()});
  EXPECT_NE(log_.str().find("TPKT peer-to-peer connection close for " + pa.GetString() + "\n"), std::string::npos);
  EXPECT_TRUE(a.seesClose());
}

TEST_F(PeerToPeer, AListenerMayCloseThePeerItIsHearing) {
  Client a = peer(), big = peer();
  close_on_message = true;
  a.write(tpkt("one") + tpkt("two"));
  big.write(tpkt(std::string(2049, 'b')));
  ASSERT_TRUE(runUntil([&] { return closed.size() == 2; }));
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_TRUE(a.seesClose());
  EXPECT_TRUE(big.seesClose());
}

}  // namespace
