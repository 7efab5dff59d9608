// Our Q.921 entities against libpri, an independent ISDN stack, in real
// time: libpri is the far end of a channel of the simulated controller, its
// frames passing through its own read and write callbacks (which add and
// strip the two FCS octets its frames carry and the line does not), run on
// the main loop. Each link comes up (with TEI assignment on a basic-rate
// bus) and carries a call's first messages both ways as I frames.

#include <gtest/gtest.h>

extern "C" {
#include <libpri.h>
}
#include <poll.h>
#include <sys/time.h>

#include <algorithm>

#include "board/sim/FarEndClient.h"
#include "board/sim/Sim.h"
#include "signalling/Hdlc.h"
#include "signalling/isdn/Lapd.h"
#include "signalling/isdn/LapdNt.h"
#include "signalling/isdn/tests/LinkSupport.h"
#include "testing/Loop.h"

// libpri keeps its control blocks to the end of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libpri\n"; }

namespace {

class PriPeer {
public:
  // On the far end of controller channel 256; `node` PRI_NETWORK or PRI_CPE.
  PriPeer(bool bri, int node) {
    if (!line.connect(256, 2000) || !Testing::runUntil([] {
          return Board::Sim::control("mcc farend 256")[0].find(" attached") != std::string::npos;
        }))
      return;
    pri_set_message(&PriPeer::print);
    pri_set_error(&PriPeer::print);
    pri = bri ? pri_new_bri_cb(-1, 0, node, PRI_SWITCH_EUROISDN_E1, &PriPeer::in, &PriPeer::out, this)
              : pri_new_cb(-1, node, PRI_SWITCH_EUROISDN_E1, &PriPeer::in, &PriPeer::out, this);
    pri_set_debug(pri, PRI_DEBUG_Q921_STATE | PRI_DEBUG_Q931_STATE);
    watch.Bind("PriPeer::OnEvent", &PriPeer::OnEvent, this);
    watch.Schedule(Fd(::dup(line.fd())), POLLIN);
    take(nullptr);
  }
  bool has(int event) const { return std::find(events.begin(), events.end(), event) != events.end(); }

  struct pri* pri = nullptr;
  std::vector<int> events;
  pri_event_ring ring{};  // the last incoming call

private:
  static void print(struct pri*, char* text) { std::clog << "libpri: " << text; }
  static int in(struct pri* p, void* buf, int len) {
    std::string frame;
    if (!static_cast<PriPeer*>(pri_get_userdata(p))->line.receive(frame, 0) || int(frame.size()) + 2 > len) return -1;
    frame.append(2, '\0');
    return int(frame.copy(static_cast<char*>(buf), frame.size()));
  }
  static int out(struct pri* p, void* buf, int len) {
    const std::string frame(static_cast<char*>(buf), size_t(std::max(len - 2, 0)));
    return static_cast<PriPeer*>(pri_get_userdata(p))->line.send(frame) ? len : -1;
  }
  void OnEvent(int, short revents) {
    if (revents & POLLIN) take(pri_check_event(pri));
  }
  void OnTimer() { take(pri_schedule_run(pri)); }
  // Keeps the event and arms the timer for libpri's next scheduled work.
  void take(pri_event* e) {
    if (e) events.push_back(e->e);
    if (e && e->e == PRI_EVENT_RING) ring = e->ring;
    const timeval* next = pri_schedule_next(pri);
    if (!next) return timer.reset();
    timeval now;
    gettimeofday(&now, nullptr);
    const long ms = (next->tv_sec - now.tv_sec) * 1000 + (next->tv_usec - now.tv_usec) / 1000;
    timer.set(unsigned(std::max(ms, 0L)), &PriPeer::OnTimer, this);
  }

  Board::Sim::FarEndClient line;
  Event watch;
  Timer timer;
};

enum class Ours { User, Network, BriNetwork };

const struct Case {
  const char* name;
  Ours ours;
  bool bri;
  int peerNode;
  // How the first message our side receives begins: the peer's CONNECT, or its SETUP.
  const char* first;
} cases[] = {
    {"UserSideAgainstPriNetwork", Ours::User, false, PRI_NETWORK, "08 02 80 01 07 "},
    {"UserSideAgainstBriNetworkWithTeiAssignment", Ours::User, true, PRI_NETWORK, "08 01 81 07 "},
    {"NetworkSideAgainstPriTerminal", Ours::Network, false, PRI_CPE, "08 02 80 01 07 "},
    {"BriNetworkSideAgainstBriTerminal", Ours::BriNetwork, true, PRI_CPE, "08 01 01 05 "},
};

// SETUP: speech, B1, called number 123. CONNECT on B1 to the terminal's call reference 1.
const std::vector<uint8_t> priSetup = {0x08, 0x02, 0x00, 0x01, 0x05, 0x04, 0x03, 0x80, 0x90, 0xA3, 0x18,
                                       0x03, 0xA9, 0x83, 0x81, 0x70, 0x04, 0x81, 0x31, 0x32, 0x33};
const std::vector<uint8_t> briSetup = {0x08, 0x01, 0x01, 0x05, 0x04, 0x03, 0x80, 0x90, 0xA3,
                                       0x18, 0x01, 0x81, 0x70, 0x04, 0x81, 0x31, 0x32, 0x33};
const std::vector<uint8_t> briConnect = {0x08, 0x01, 0x81, 0x07, 0x18, 0x01, 0x89};

class Libpri : public ::testing::TestWithParam<Case> {};

TEST_P(Libpri, LinkComesUpAndCarriesACall) {
  const Case& c = GetParam();
  Board::Sim::reset();
  HDLC channel;
  channel.params.mode = 1;
  channel.params.tdm = 1;
  ASSERT_TRUE(channel.activate());
  isdn_test::Upper upper{"ours"};
  ISDN::LAPD* lapd = nullptr;
  ISDN::LAPD_NT* nt = nullptr;
  if (c.ours == Ours::BriNetwork) {
    nt = new ISDN::LAPD_NT;
    nt->hdlc = &channel;
    channel.notify = nt;
  } else {
    lapd = new ISDN::LAPD(c.ours == Ours::User ? ISDN::Side::user : ISDN::Side::network, 2);
    if (c.bri) lapd->change_to_bri();
    lapd->hdlc = &channel;
    channel.notify = lapd;
  }
  upper.add_protocol_tail(nt ? static_cast<Protocol*>(nt) : lapd);
  PriPeer peer(c.bri, c.peerNode);
  ASSERT_NE(peer.pri, nullptr);
  upper.activate();
  if (nt) {  // the terminal calls
    pri_sr* sr = pri_sr_new();
    pri_sr_set_channel(sr, 1, 1, 0);
    pri_sr_set_bearer(sr, PRI_TRANS_CAP_SPEECH, PRI_LAYER_1_ALAW);
    pri_sr_set_called(sr, const_cast<char*>("123"), PRI_UNKNOWN, 1);
    ASSERT_EQ(pri_setup(peer.pri, pri_new_call(peer.pri), sr), 0);
    pri_sr_free(sr);
    ASSERT_TRUE(Testing::runUntil([&] { return !upper.received.empty(); }, 8000));
    EXPECT_EQ(nt->user(0).tei, 64);
    upper.send(briConnect);
    EXPECT_TRUE(Testing::runUntil([&] { return peer.has(PRI_EVENT_ANSWER); }, 5000));
  } else {  // we call, the peer answers
    ASSERT_TRUE(Testing::runUntil(
        [&] { return lapd->full_state().state == ISDN::MultipleFrameEstablished && peer.has(PRI_EVENT_DCHAN_UP); },
        8000));
    upper.send(c.bri ? briSetup : priSetup);
    ASSERT_TRUE(Testing::runUntil([&] { return peer.ring.call != nullptr; }, 5000));
    pri_answer(peer.pri, peer.ring.call, peer.ring.channel, 1);
    ASSERT_TRUE(Testing::runUntil([&] { return !upper.received.empty(); }, 5000));
    EXPECT_EQ(lapd->unacknowledged(), 0u);
    EXPECT_EQ(lapd->full_state().self_tei, c.bri ? 64 : 0);
  }
  EXPECT_EQ(upper.received[0].rfind(c.first, 0), 0u) << upper.received[0];
}

INSTANTIATE_TEST_SUITE_P(Q921, Libpri, ::testing::ValuesIn(cases), [](const auto& info) { return info.param.name; });

}  // namespace
