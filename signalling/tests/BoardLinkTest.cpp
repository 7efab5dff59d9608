// The Q.921 and SS7 link entities back to back through two cabled channels of
// the simulated controller and the real main loop: what each writes is read
// by the other from its channel's descriptor.

#include <gtest/gtest.h>

#include "board/sim/Sim.h"
#include "signalling/isdn/Lapd.h"
#include "signalling/isdn/tests/LinkSupport.h"
#include "signalling/ss7/tests/LinkPair.h"
#include "signalling/tests/BoardLine.h"

namespace {

using Lines = std::vector<std::string>;

TEST(BoardLink, Q921UserAndNetworkSidesEstablishAndCarryAnIFrame) {
  Testing::Capture log{std::clog};
  linktest::BoardLine line(1);
  isdn_test::Upper netStack{"net"}, userStack{"user"};
  auto attach = [](isdn_test::Upper& stack, ISDN::Side::type side, HDLC& channel) {
    ISDN::LAPD* lapd = new ISDN::LAPD(side, 2);
    lapd->hdlc = &channel;
    channel.notify = lapd;
    stack.add_protocol_tail(lapd);
    return lapd;
  };
  ISDN::LAPD* net = attach(netStack, ISDN::Side::network, line.a);
  ISDN::LAPD* user = attach(userStack, ISDN::Side::user, line.b);
  userStack.activate();
  line.settle();
  EXPECT_EQ(user->full_state().state, ISDN::MultipleFrameEstablished);
  EXPECT_EQ(net->full_state().state, ISDN::MultipleFrameEstablished);
  userStack.send({0x08, 0x01, 0x05, 0x05, 0x04, 0x03, 0x80, 0x90, 0xA2});
  line.settle();
  EXPECT_EQ(netStack.received, Lines{"08 01 05 05 04 03 80 90 A2"});
  // SABME, UA, the I frame with SETUP and its RR, as the controller's channels wrote them.
  EXPECT_EQ(Board::Sim::control("mcc written"),
            (Lines{"257 00017F", "256 000173", "257 000100000801050504038090A2", "256 00010102", "OK"}));
}

TEST(BoardLink, Ss7LinksAlignToInServiceAndCarryAnMsu) {
  std::string text;
  ss7test::TaggedBuf out{text, ""};
  std::streambuf* saved = std::clog.rdbuf(&out);
  linktest::BoardLine line(0);
  ss7test::Owner ownerA{'A'}, ownerB{'B'};
  SS7::SLC& A = *new SS7::SLC;
  SS7::SLC& B = *new SS7::SLC;
  for (auto [link, owner, channel] : {std::tuple{&A, &ownerA, &line.a}, std::tuple{&B, &ownerB, &line.b}}) {
    owner->add_protocol_tail(link);
    link->set_channel(channel);
    channel->notify = link;
  }
  A.local_activate();
  line.settle();
  line.elapse(SS7::SLC::T4n.ms);
  EXPECT_EQ(A.get_state_id(), SS7::SLC::State::inService);
  EXPECT_EQ(B.get_state_id(), SS7::SLC::State::inService);
  Packet msu;
  A.prepare_head(msu);
  msu.put("\x83\x01\x02", 3);
  A.message(msu);
  line.settle();
  std::clog.rdbuf(saved);
  EXPECT_NE(text.find("A: activated\n"), std::string::npos) << text;
  EXPECT_NE(text.find("B: activated\n"), std::string::npos) << text;
  EXPECT_NE(text.find("B: msu 83 01 02\n"), std::string::npos) << text;
}

}  // namespace
