#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "foundation/protocol/StrmProtocol.h"
#include "foundation/protocol/Tpkt_protocol.h"
#include "testing/Capture.h"
#include "testing/Frames.h"
#include "testing/Loop.h"
#include "testing/Loopback.h"

namespace {

// The bottom of a test stack: records what is sent, passes chunks up.
class Wire : public Protocol {
public:
  void message(Packet& p) override { sent.emplace_back(reinterpret_cast<const char*>(p.data()), p.length()); }
  void feed(const std::string& bytes) {
    Packet p;
    p.reserve_head(0);
    p.put(bytes.data(), unsigned(bytes.size()));
    on_message(p);
  }
  std::vector<std::string> sent;
};

class Owner : public ProtocolsFamily {
public:
  void on_message(Packet& p) override { received.emplace_back(reinterpret_cast<const char*>(p.data()), p.length()); }
  void on_deactivated(Protocol*, Protocol_status status) override { statuses.push_back(status->message()); }
  std::vector<std::string> received;
  std::vector<std::string> statuses;
};

class TpktFraming : public ::testing::Test {
protected:
  TpktFraming() : clog_(std::clog), cerr_(std::cerr) {
    wire = new Wire;
    tpkt = new Tpkt_protocol;
    owner.add_protocol_tail(wire);
    owner.add_protocol_tail(tpkt);
  }
  ~TpktFraming() override { EXPECT_EQ(multiplexer.timer_count(), 0u); }
  void TearDown() override {
    tpkt->reset();
    EXPECT_EQ(packet_pool().count(), 1024u);
  }

  void send(const std::string& payload) {
    Packet p;
    owner.prepare_head(p);
    p.put(payload.data(), unsigned(payload.size()));
    owner.message(p);
  }

  Testing::PinnedClock clock_;
  Testing::Capture clog_;
  Testing::Capture cerr_;
  Owner owner;
  Wire* wire;
  Tpkt_protocol* tpkt;
};

TEST_F(TpktFraming, HeaderCountsItselfIsBigEndianAndBoundsThePayload) {
  send("0123456789");
  send("");
  send(std::string(65531, 'L'));
  send(std::string(65532, 'X'));
  ASSERT_EQ(wire->sent.size(), 3u) << "one byte over the largest payload is refused";
  EXPECT_EQ(Testing::octets(wire->sent[0]), "03 00 00 0E 30 31 32 33 34 35 36 37 38 39");
  EXPECT_EQ(Testing::octets(wire->sent[1]), "03 00 00 04");
  EXPECT_EQ(Testing::octets(wire->sent[2].substr(0, 5)), "03 00 FF FF 4C");
  EXPECT_EQ(cerr_.str(), "TPKT message too big, length = 65532 max = 65531\n");
  wire->feed(wire->sent[2]);
  EXPECT_EQ(owner.received, std::vector<std::string>{std::string(65531, 'L')});
}

TEST_F(TpktFraming, FramesSurviveAnyChunking) {
  std::vector<std::string> payloads = {"A", "", std::string(200, 'b'), std::string(4096, 'c'), "", "end"};
  std::string stream;
  for (const std::string& p : payloads) stream += Testing::tpkt(p);

  // Whole, one byte at a time (seed 0), then cut at random.
  wire->feed(stream);
  EXPECT_EQ(owner.received, payloads);
  for (unsigned seed = 0; seed <= 20; ++seed) {
    owner.received.clear();
    std::mt19937 random(seed);
    for (size_t at = 0, n; at < stream.size(); at += n) {
      n = std::min<size_t>(stream.size() - at, seed ? random() % 300 + 1 : 1);
      wire->feed(stream.substr(at, n));
    }
    EXPECT_EQ(owner.received, payloads) << "seed " << seed;
  }
  EXPECT_EQ(clog_.str(), "");
}

TEST_F(TpktFraming, GarbageIsSkippedWithOneLineEach) {
  wire->feed(std::string("\x01\x02\x03\x00\x00\x05\x41", 7));
  EXPECT_EQ(owner.received, std::vector<std::string>{"A"});
  EXPECT_EQ(clog_.str(), "(no name) bad TPKT packet start.\n(no name) bad TPKT packet start.\n");

  // The bad reserved byte is consumed; the next one may start a frame.
  clog_.clear();
  wire->feed(std::string("\x03\x07\x03\x00\x00\x05\x42", 7));
  EXPECT_EQ(owner.received.back(), "B");
  EXPECT_EQ(clog_.str(), "(no name) bad TPKT reserved.\n");

  clog_.clear();
  wire->feed(std::string("\x03\x00\x00\x02", 4) + std::string("\x03\x00\x00\x03", 4) + Testing::tpkt("C"));
  EXPECT_EQ(owner.received.back(), "C");
  EXPECT_EQ(clog_.str(), "TPKT too small 2\nTPKT too small 3\n");
}

TEST_F(TpktFraming, APartialMessageStallingThreeSecondsIsDropped) {
  wire->feed(std::string("\x03\x00\x00\x0A\x01\x02", 6));
  EXPECT_EQ(multiplexer.timer_count(), 1u);
  clock_.advance(2999);
  EXPECT_EQ(clog_.str(), "");
  clock_.advance(1);
  EXPECT_EQ(clog_.str(), " TPKT packet timeout.\n");
  EXPECT_EQ(tpkt->state(), Tpkt_protocol::Idle);
  EXPECT_EQ(multiplexer.timer_count(), 0u);

  // The rest of the dropped message is hunted through from the start.
  clog_.clear();
  wire->feed(std::string("\x05\x06", 2) + Testing::tpkt("ok"));
  EXPECT_EQ(owner.received, std::vector<std::string>{"ok"});
  EXPECT_EQ(clog_.str(), "(no name) bad TPKT packet start.\n(no name) bad TPKT packet start.\n");
}

TEST_F(TpktFraming, TheTimerMeasuresSilenceAfterEachChunk) {
  std::string f = Testing::tpkt("slow message");
  wire->feed(f.substr(0, 2));
  clock_.advance(2000);
  wire->feed(f.substr(2, 5));
  clock_.advance(2000);
  wire->feed(f.substr(7, 3));
  clock_.advance(2999);
  EXPECT_EQ(clog_.str(), "");
  wire->feed(f.substr(10));
  EXPECT_EQ(owner.received, std::vector<std::string>{"slow message"});
  // A silence that starts at a frame boundary arms nothing.
  EXPECT_EQ(multiplexer.timer_count(), 0u);
  clock_.advance(10000);
  EXPECT_EQ(clog_.str(), "");
}

TEST_F(TpktFraming, OrderlyDeactivationResetsAndPassesDown) {
  wire->feed(std::string("\x03\x00\x00\x0A\x01", 5));
  owner.deactivate();
  EXPECT_EQ(tpkt->state(), Tpkt_protocol::Idle);
  EXPECT_EQ(multiplexer.timer_count(), 0u);
  EXPECT_EQ(owner.statuses, std::vector<std::string>{"success"});
  wire->feed(Testing::tpkt("after"));
  EXPECT_EQ(owner.received, std::vector<std::string>{"after"});
}

}  // namespace
