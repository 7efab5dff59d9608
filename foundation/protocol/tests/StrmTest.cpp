#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "foundation/protocol/StrmProtocol.h"
#include "foundation/protocol/Tpkt_protocol.h"
#include "testing/Capture.h"
#include "testing/Frames.h"
#include "testing/Loop.h"
#include "testing/Loopback.h"

namespace {

using Testing::runUntil;
using Testing::tpkt;

// A stream-and-TPKT stack over one end of a socket pair.
class Link : public ProtocolsFamily {
public:
  Link() {
    strm = new StrmProtocol;
    add_protocol_tail(strm);
    add_protocol_tail(new Tpkt_protocol);
    strm->service_name("test");
  }
  void on_message(Packet& p) override { received.emplace_back(reinterpret_cast<const char*>(p.data()), p.length()); }
  void on_deactivated(Protocol* from, Protocol_status status) override { reports.push_back({from, status}); }
  void send(const std::string& payload) {
    Packet p;
    prepare_head(p);
    p.put(payload.data(), unsigned(payload.size()));
    message(p);
  }

  StrmProtocol* strm;
  std::vector<std::string> received;
  std::vector<std::pair<Protocol*, Protocol_status>> reports;
};

class StreamLayer : public ::testing::Test {
protected:
  void SetUp() override {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    mine = Fd(fds[0]);
    peer = Fd(fds[1]);
    ASSERT_TRUE(mine.NonBlock());
  }
  void TearDown() override { EXPECT_EQ(packet_pool().count(), 1024u); }

  Fd mine;
  Fd peer;
};

TEST_F(StreamLayer, APeerThatClosesGivesOneErrorFromTheTop) {
  ASSERT_TRUE(Testing::tcpPair(mine, peer));
  ASSERT_TRUE(mine.NonBlock());
  Link link;
  link.strm->attach(mine);
  link.activate();
  peer.close();
  ASSERT_TRUE(runUntil([&] { return !link.reports.empty(); }));
  Testing::runFor(50);
  ASSERT_EQ(link.reports.size(), 1u);
  EXPECT_EQ(link.reports[0].first, link.top());
  EXPECT_EQ(link.reports[0].second->message().rfind("read error: ", 0), 0u);
  EXPECT_FALSE(link.strm->fd());
}

TEST_F(StreamLayer, ActivationNeedsASocketAndDeactivationClosesIt) {
  Link link;
  link.activate();
  ASSERT_EQ(link.reports.size(), 1u);
  EXPECT_EQ(link.reports[0].second->message(), "fd not attached");

  link.strm->attach(mine);
  mine.close();
  link.activate();
  link.deactivate();
  ASSERT_EQ(link.reports.size(), 2u);
  EXPECT_EQ(link.reports[1].first, link.strm);
  EXPECT_EQ(link.reports[1].second->message(), "success");
  char c;
  EXPECT_EQ(::read(peer.get(), &c, 1), 0) << "the peer sees end of file";
}

TEST_F(StreamLayer, AFullSendBufferTimesOutAfterOneSecond) {
  int small = 4096;
  setsockopt(mine.get(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
  setsockopt(peer.get(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  Link link;
  link.strm->attach(mine);
  link.activate();
  Testing::Capture err(std::cerr);
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 50 && link.reports.empty(); ++i) link.send(std::string(60000, 'w'));
  auto took = std::chrono::steady_clock::now() - start;
  ASSERT_EQ(link.reports.size(), 1u);
  EXPECT_EQ(link.reports[0].second->message(), "write timeout");
  EXPECT_EQ(link.strm->overflow_counter(), 1u);
  EXPECT_GE(took, std::chrono::milliseconds(1000));
  EXPECT_LT(took, std::chrono::milliseconds(3000));
  EXPECT_EQ(err.str().rfind("SockStream[test]: write timeout, sendbuf=", 0), 0u) << err.str();
  EXPECT_NE(err.str().find(", recvbuf="), std::string::npos);
  EXPECT_EQ(err.str().find(", error="), std::string::npos);
  EXPECT_FALSE(link.strm->fd());
}

// On a local stream socket every send stops where the small send buffer is
// full, so each frame goes out in many partial writes.
TEST_F(StreamLayer, FramesLargerThanTheSendBufferReachASlowReaderWholeAndInOrder) {
  int small = 4096;
  setsockopt(mine.get(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
  timeval limit = {2, 0};
  setsockopt(peer.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  // Counting bytes modulo a prime, each frame starting elsewhere: a piece
  // sent twice, skipped or out of place changes the stream.
  std::vector<std::string> payloads;
  std::string expected;
  for (size_t size : {30000u, 25117u, 28003u}) {
    std::string payload(size, '\0');
    for (size_t i = 0; i < size; ++i) payload[i] = char((i + 7 * payloads.size()) % 251);
    expected += tpkt(payload);
    payloads.push_back(payload);
  }
  Link link;
  link.strm->attach(mine);
  link.activate();
  ASSERT_LT(link.strm->sendbuf_space(), int(payloads[1].size()));
  std::string got;
  std::thread reader([&] {
    char piece[1000];
    while (got.size() < expected.size()) {
      const ssize_t n = ::recv(peer.get(), piece, sizeof piece, 0);
      if (n <= 0) return;
      got.append(piece, size_t(n));
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  for (const std::string& payload : payloads) link.send(payload);
  reader.join();
  EXPECT_TRUE(link.reports.empty());
  EXPECT_EQ(link.strm->overflow_counter(), 0u);
  ASSERT_EQ(got.size(), expected.size());
  const size_t differs = size_t(std::mismatch(got.begin(), got.end(), expected.begin()).first - got.begin());
  EXPECT_EQ(differs, got.size()) << "first differing byte";
}

TEST_F(StreamLayer, AWriteToAClosedPeerIsAWriteError) {
  Link link;
  link.strm->attach(mine);
  link.activate();
  peer.close();
  Testing::Capture err(std::cerr);
  link.send("lost");
  ASSERT_EQ(link.reports.size(), 1u);
  EXPECT_EQ(link.reports[0].second->message().rfind("write error: ", 0), 0u);
  EXPECT_NE(err.str().find("SockStream[test]: write error, sendbuf="), std::string::npos);
  EXPECT_NE(err.str().find(", error="), std::string::npos);
  EXPECT_EQ(link.strm->overflow_counter(), 1u);
}

}  // namespace
