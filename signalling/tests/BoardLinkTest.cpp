// The Q.921 and SS7 link entities back to back on a line through the
// simulated board: two HDLC channels cabled to each other inside the
// multichannel controller, so what one entity writes the other reads from its
// channel's descriptor on the real main loop, exactly as the in-process
// channel pairs of their own tests carry it. Time passes only when the test
// says so, in steps with the loop run between until no frame is on its way.

#include <gtest/gtest.h>

#include "board/sim/Sim.h"
#include "signalling/Hdlc.h"
#include "signalling/isdn/Lapd.h"
#include "signalling/isdn/tests/LinkSupport.h"
#include "signalling/ss7/tests/LinkPair.h"
#include "testing/Board.h"
#include "testing/Loop.h"

namespace {

using Lines = std::vector<std::string>;

class BoardLink : public ::testing::Test {
protected:
  // Both channels in `mode`, on switch channels 1 and 2, cabled.
  void cable(int32_t mode) {
    Board::Sim::reset();
    for (HDLC* channel : {&a, &b}) {
      channel->params.mode = mode;
      channel->params.tdm = channel == &a ? 1 : 2;
      ASSERT_TRUE(channel->activate());
    }
    ASSERT_EQ(Board::Sim::control("mcc cable 256 257").back(), "OK");
  }
  // A cabled write is in the other channel's descriptor at once: when a pass
  // finds nothing to read, every frame and its answers have crossed, however
  // slowly the loop ran.
  void settle() { EXPECT_TRUE(Testing::runUntilQuiet()); }

  Testing::PinnedClock clock;
  HDLC a;
  HDLC b;
};

TEST_F(BoardLink, Q921UserAndNetworkSidesEstablishAndCarryAnIFrame) {
  Testing::Capture log{std::clog};
  cable(1);
  isdn_test::Upper netStack{"net"}, userStack{"user"};
  auto attach = [](isdn_test::Upper& stack, ISDN::Side::type side, HDLC& channel) {
    ISDN::LAPD* lapd = new ISDN::LAPD(side, 2);
    lapd->hdlc = &channel;
    channel.notify = lapd;
    stack.add_protocol_tail(lapd);
    return lapd;
  };
  ISDN::LAPD* net = attach(netStack, ISDN::Side::network, a);
  ISDN::LAPD* user = attach(userStack, ISDN::Side::user, b);
  userStack.activate();
  settle();
  EXPECT_EQ(user->full_state().state, ISDN::MultipleFrameEstablished);
  EXPECT_EQ(net->full_state().state, ISDN::MultipleFrameEstablished);
  userStack.send({0x08, 0x01, 0x05, 0x05, 0x04, 0x03, 0x80, 0x90, 0xA2});
  settle();
  EXPECT_EQ(netStack.received, Lines{"08 01 05 05 04 03 80 90 A2"});
  // SABME, UA, the I frame with SETUP and its RR, as the two channels wrote them.
  EXPECT_EQ(Board::Sim::control("mcc written"),
            (Lines{"257 00017F", "256 000173", "257 000100000801050504038090A2", "256 00010102", "OK"}));
}

TEST_F(BoardLink, Ss7LinksAlignToInServiceAndCarryAnMsu) {
  std::string text;
  ss7test::TaggedBuf out{text, ""};
  std::streambuf* saved = std::clog.rdbuf(&out);
  cable(0);
  ss7test::Owner ownerA{'A'}, ownerB{'B'};
  SS7::SLC& A = *new SS7::SLC;
  SS7::SLC& B = *new SS7::SLC;
  for (auto [link, owner, channel] : {std::tuple{&A, &ownerA, &a}, std::tuple{&B, &ownerB, &b}}) {
    owner->add_protocol_tail(link);
    link->set_channel(channel);
    channel->notify = link;
  }
  A.local_activate();
  for (unsigned ms = 0; ms < SS7::SLC::T4n.ms; ms += 100) {
    settle();
    clock.advance(100);
  }
  settle();
  EXPECT_EQ(A.get_state_id(), SS7::SLC::State::inService);
  EXPECT_EQ(B.get_state_id(), SS7::SLC::State::inService);
  Packet msu;
  A.prepare_head(msu);
  msu.put("\x83\x01\x02", 3);
  A.message(msu);
  settle();
  std::clog.rdbuf(saved);
  EXPECT_NE(text.find("B: msu 83 01 02\n"), std::string::npos) << text;
}

}  // namespace
