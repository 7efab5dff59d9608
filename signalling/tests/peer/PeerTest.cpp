// Our Q.921 entities against libpri, an independent ISDN stack, on a channel
// of the simulated controller, in real time: our user side against its
// network side (primary rate, and a basic-rate bus with TEI assignment), our
// network sides against its terminals. Each link comes up and carries a call's
// first messages both ways as I frames.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "board/sim/Sim.h"
#include "signalling/Hdlc.h"
#include "signalling/isdn/Lapd.h"
#include "signalling/isdn/LapdNt.h"
#include "signalling/isdn/tests/LinkSupport.h"
#include "signalling/tests/peer/PriPeer.h"
#include "testing/Loop.h"

// libpri keeps its control blocks to the end of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libpri\n"; }

namespace {

enum class Ours { User, Network, BriNetwork };

struct Case {
  const char* name;
  Ours ours;
  bool bri;
  int peerNode;
  // How the first message our side receives begins: the peer's CONNECT, or its SETUP.
  const char* first;
};

const Case cases[] = {
    {"UserSideAgainstPriNetwork", Ours::User, false, PRI_NETWORK, "08 02 80 01 07 "},
    {"UserSideAgainstBriNetworkWithTeiAssignment", Ours::User, true, PRI_NETWORK, "08 01 81 07 "},
    {"NetworkSideAgainstPriTerminal", Ours::Network, false, PRI_CPE, "08 02 80 01 07 "},
    {"BriNetworkSideAgainstBriTerminal", Ours::BriNetwork, true, PRI_CPE, "08 01 01 05 "},
};

// SETUP, speech, B1, called number 123; CONNECT to the terminal's call reference 1.
const std::vector<uint8_t> priSetup = {0x08, 0x02, 0x00, 0x01, 0x05, 0x04, 0x03, 0x80, 0x90,
                                       0xA3, 0x18, 0x03, 0xA9, 0x83, 0x81, 0x70, 0x04, 0x81, 0x31, 0x32, 0x33};
const std::vector<uint8_t> briSetup = {0x08, 0x01, 0x01, 0x05, 0x04, 0x03, 0x80, 0x90, 0xA3,
                                       0x18, 0x01, 0x81, 0x70, 0x04, 0x81, 0x31, 0x32, 0x33};
const std::vector<uint8_t> briConnect = {0x08, 0x01, 0x81, 0x07, 0x18, 0x01, 0x89};

bool has(const std::vector<int>& events, int e) { return std::find(events.begin(), events.end(), e) != events.end(); }

class Libpri : public ::testing::TestWithParam<Case> {
protected:
  void SetUp() override {
    Board::Sim::reset();
    channel.params.mode = 1;
    channel.params.tdm = 1;
    ASSERT_TRUE(channel.activate());
  }

  HDLC channel;
  isdn_test::Upper upper{"ours"};
};

TEST_P(Libpri, LinkComesUpAndCarriesACall) {
  const Case& c = GetParam();
  ISDN::LAPD* lapd = nullptr;
  ISDN::LAPD_NT* nt = nullptr;
  if (c.ours == Ours::BriNetwork) {
    nt = new ISDN::LAPD_NT;
    nt->hdlc = &channel;
    channel.notify = nt;
    upper.add_protocol_tail(nt);
  } else {
    lapd = new ISDN::LAPD(c.ours == Ours::User ? ISDN::Side::user : ISDN::Side::network, 2);
    if (c.bri) lapd->change_to_bri();
    lapd->hdlc = &channel;
    channel.notify = lapd;
    upper.add_protocol_tail(lapd);
  }
  peer::PriPeer peer(256, c.bri, c.peerNode);
  ASSERT_TRUE(peer.attached());
  upper.activate();
  if (nt) {
    q931_call* call = pri_new_call(peer.pri);
    pri_sr* sr = pri_sr_new();
    pri_sr_set_channel(sr, 1, 1, 0);
    pri_sr_set_bearer(sr, PRI_TRANS_CAP_SPEECH, PRI_LAYER_1_ALAW);
    pri_sr_set_called(sr, const_cast<char*>("123"), PRI_UNKNOWN, 1);
    ASSERT_EQ(pri_setup(peer.pri, call, sr), 0);
    pri_sr_free(sr);
    ASSERT_TRUE(Testing::runUntil([&] { return !upper.received.empty(); }, 8000));
    EXPECT_EQ(upper.received[0].rfind(c.first, 0), 0u) << upper.received[0];
    EXPECT_EQ(nt->user(0).tei, 64);
    upper.send(briConnect);
    EXPECT_TRUE(Testing::runUntil([&] { return has(peer.events, PRI_EVENT_ANSWER); }, 5000));
    return;
  }
  const auto up = [&] {
    return lapd->full_state().state == ISDN::MultipleFrameEstablished && has(peer.events, PRI_EVENT_DCHAN_UP);
  };
  ASSERT_TRUE(Testing::runUntil(up, 8000));
  upper.send(c.bri ? briSetup : priSetup);
  ASSERT_TRUE(Testing::runUntil([&] { return peer.call != nullptr; }, 5000));
  pri_answer(peer.pri, peer.call, peer.callChannel, 1);
  ASSERT_TRUE(Testing::runUntil([&] { return !upper.received.empty(); }, 5000));
  EXPECT_EQ(upper.received[0].rfind(c.first, 0), 0u) << upper.received[0];
  EXPECT_EQ(lapd->unacknowledged(), 0u);
  EXPECT_EQ(lapd->full_state().self_tei, c.bri ? 64 : 0);
}

INSTANTIATE_TEST_SUITE_P(Q921, Libpri, ::testing::ValuesIn(cases), [](const auto& info) { return info.param.name; });

}  // namespace
