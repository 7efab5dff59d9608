// Two of our Q.921 entities back to back on a primary-rate D channel (user
// side against network side), the loop clock stepped by the test: the
// transcripts of frames, state changes and reports are kept as golden files.
// Then a user side against frames the test writes by hand.

#include <gtest/gtest.h>

#include <cstdio>

#include "signalling/isdn/Lapd.h"
#include "signalling/isdn/tests/LinkSupport.h"

namespace {

using ISDN::LAPD;
using ISDN::Side;
using isdn_test::Bus;
using isdn_test::Upper;
using Strings = std::vector<std::string>;

const std::vector<uint8_t> setup = {0x08, 0x01, 0x05, 0x05, 0x04, 0x03, 0x80, 0x90, 0xA2, 0x18, 0x01, 0x89};
const std::vector<uint8_t> connect = {0x08, 0x01, 0x85, 0x07};

Packet bytes(const std::vector<uint8_t>& octets) {
  Packet p;
  p.reserve_head(0);
  if (!octets.empty()) p.put(octets.data(), unsigned(octets.size()));
  return p;
}

std::vector<uint8_t> numbered(uint8_t n) { return {0x08, 0x01, 0x05, 0x7B, n}; }

// A TEI management message from the network: UI on SAPI 63 and TEI 127, C/R 1.
std::vector<uint8_t> tei(uint16_t ri, uint8_t type, uint8_t ai) {
  return {0xFE, 0xFF, 0x03, 0x0F, uint8_t(ri), uint8_t(ri >> 8), type, uint8_t(ai << 1 | 1)};
}

class PriLink : public isdn_test::LinkTest, public ::testing::WithParamInterface<isdn_test::Line> {
protected:
  PriLink()
      : LinkTest(GetParam()),
        net_end(bus.add("net ")),
        user_end(bus.add("user")),
        net(attach(net_stack, Side::network, net_end)),
        user(attach(user_stack, Side::user, user_end)) {}

  LAPD* attach(Upper& stack, Side::type side, Bus::End& end) {
    LAPD* lapd = new LAPD(side, 2);
    lapd->trunk = side == Side::user ? 1 : 2;
    lapd->hdlc = &end;
    end.listener = lapd;
    stack.add_protocol_tail(lapd);
    return lapd;
  }
  void establish() {
    user_stack.activate();
    settle();
    ASSERT_EQ(user->full_state().state, ISDN::MultipleFrameEstablished);
    ASSERT_EQ(net->full_state().state, ISDN::MultipleFrameEstablished);
    log.clear();
  }

  Upper net_stack{"net"};
  Upper user_stack{"user"};
  Bus::End& net_end;
  Bus::End& user_end;
  LAPD* net;
  LAPD* user;
};

TEST_P(PriLink, EstablishmentDataBothWaysAndRelease) {
  user_stack.activate();
  settle();
  user_stack.send(setup);
  user_stack.send(numbered(1));
  settle();
  net_stack.send(connect);
  settle();
  elapse(500);
  user_stack.deactivate();
  settle();
  EXPECT_EQ(net_stack.received, (std::vector<std::string>{"08 01 05 05 04 03 80 90 A2 18 01 89", "08 01 05 7B 01"}));
  EXPECT_EQ(user_stack.received, std::vector<std::string>{"08 01 85 07"});
  EXPECT_EQ(user_stack.releases, std::vector<std::string>{"success (UA received)"});
  EXPECT_EQ(net_stack.releases, std::vector<std::string>{"remote error (DISC received)"});
  EXPECT_EQ(user->full_state().state, ISDN::TeiAssigned);
  EXPECT_TRUE(golden("pri-establish-data-release"));
}

TEST_P(PriLink, WindowOfSevenHoldsTheRestUntilAcknowledged) {
  establish();
  for (uint8_t i = 0; i < 10; ++i) user_stack.send(numbered(i));
  EXPECT_EQ(user->unacknowledged(), 7u);
  EXPECT_EQ(user->queued(), 3u);
  settle();
  EXPECT_EQ(net_stack.received.size(), 10u);
  EXPECT_EQ(net_stack.received.back(), "08 01 05 7B 09");
  EXPECT_EQ(user->unacknowledged(), 0u);
  EXPECT_EQ(unsigned(user->full_state().va), 10u);
  EXPECT_TRUE(golden("pri-window"));
}

TEST_P(PriLink, LostIFrameIsRejectedAndTheRestSentAgainInOrder) {
  establish();
  user_end.lose = 0;
  user_stack.send(numbered(0));
  user_end.lose = 1;
  user_stack.send(numbered(1));
  user_stack.send(numbered(2));
  settle();
  EXPECT_EQ(net_stack.received, (std::vector<std::string>{"08 01 05 7B 00", "08 01 05 7B 01", "08 01 05 7B 02"}));
  EXPECT_EQ(net->stats.rejected, 1u);
  EXPECT_EQ(user->stats.retrains, 2u);
  EXPECT_TRUE(golden("pri-reject"));
}

TEST_P(PriLink, T200RetriesN200TimesInEveryStateThatWaits) {
  // Establishment: SABME 1 + N200 times, then release.
  net_end.cut = true;
  user_end.cut = true;
  user_stack.activate();
  elapse(4000);
  EXPECT_EQ(user_stack.releases, std::vector<std::string>{"link error (T200 expired N200 times)"});
  EXPECT_EQ(user->stats.t200_expired, 4u);
  // Timer recovery: N200 enquiries unanswered, then the link is set up again.
  net_end.cut = user_end.cut = false;
  user_stack.activate();
  settle();
  user_end.cut = true;
  user_stack.send(numbered(1));
  elapse(4000);
  EXPECT_EQ(user->full_state().state, ISDN::AwaitingEstablishment);
  EXPECT_EQ(user_stack.reports.back(), "Unsuccessful retransmission (N200 times) - Status enquiry");
  // Release: DISC 1 + N200 times.
  user_end.cut = false;
  settle();
  elapse(1000);
  net_end.cut = true;
  user_stack.deactivate();
  elapse(4000);
  EXPECT_EQ(user_stack.releases.back(), "link error (T200 expired N200 times)");
  EXPECT_EQ(user->full_state().state, ISDN::TeiAssigned);
  EXPECT_TRUE(golden("pri-t200-n200"));
}

TEST_P(PriLink, IdleLinkEnquiresAfterT203) {
  establish();
  user->log = net->log = 4;
  elapse(10000);
  EXPECT_EQ(user->stats.t203_expired, 1u);
  EXPECT_EQ(user->full_state().state, ISDN::MultipleFrameEstablished);
  EXPECT_TRUE(golden("pri-t203"));
}

TEST_P(PriLink, FlowStatusTurnsBusyAbove88AndBackAt64AndTheQueueHolds128) {
  struct Listener : LAPD::Notify {
    std::vector<int> changes;
    void OnLAPD_FlowStatusChange(LAPD* lapd) override { changes.push_back(lapd->flow_status); }
  } listener;
  user->notify = &listener;
  for (uint8_t i = 0; i < 129; ++i) user_stack.send(numbered(i));
  EXPECT_EQ(listener.changes, std::vector<int>{LAPD::FlowStatus::busy});
  EXPECT_EQ(user->queued(), 128u);
  EXPECT_EQ(user->stats.out_overflows, 1u);
  EXPECT_NE(log.str().find("LAPD[1] (TEI assigned): discard outgoing message: buffer overflow\n"), std::string::npos);
  user_stack.activate();
  settle();
  EXPECT_EQ(net_stack.received.size(), 128u);
  EXPECT_EQ(listener.changes, (std::vector<int>{LAPD::FlowStatus::busy, LAPD::FlowStatus::normal}));
  EXPECT_EQ(user->stats.tx_messages, 129u);
}

TEST_P(PriLink, RefusedFrameStaysQueuedUntilTheChannelIsReady) {
  establish();
  user_end.refusing = true;
  user_stack.send(numbered(1));
  EXPECT_EQ(log.str(), "LAPD[1] (Multiple frame established): tx full\n");
  EXPECT_EQ(user->queued(), 1u);
  user_end.ready();
  settle();
  EXPECT_EQ(net_stack.received, std::vector<std::string>{"08 01 05 7B 01"});
}

TEST_P(PriLink, LinkInformationIsReportedWhenItChanged) {
  ACP::IsdnLinkInfo info;
  EXPECT_TRUE(net->GetInfo(info));
  EXPECT_FALSE(net->GetInfo(info));
  EXPECT_EQ(info.get_side().get(), ACP::IsdnSide::network);
  EXPECT_EQ(info.get_lapdState().get(), ACP::LAPDState::tei_assigned);
  establish();
  user_stack.send(numbered(1));
  settle();
  EXPECT_TRUE(net->GetInfo(info));
  EXPECT_EQ(info.get_msuRxCount().getValue(), 1);
  EXPECT_EQ(info.get_vr().getValue(), 1);
  EXPECT_EQ(info.get_lapdState().get(), ACP::LAPDState::multiple_frame_established);
  EXPECT_TRUE(info.get_t203run().getValue());
}

INSTANTIATE_TEST_SUITE_P(Lines, PriLink, isdn_test::lines, isdn_test::lineName);

// The user side against frames written by hand; what it sends stays on the bus.
class UserLink : public isdn_test::LinkTest {
protected:
  UserLink() : user(new LAPD(Side::user, 2)) {
    user->trunk = 1;
    user->hdlc = &end;
    stack.add_protocol_tail(user);
  }
  void inject(const std::vector<uint8_t>& frame) {
    Packet p = bytes(frame);
    user->on_hdlc_receive(p);
  }
  void established() {
    stack.activate();
    settle();
    inject({0x00, 0x01, 0x73});
    ASSERT_EQ(user->full_state().state, ISDN::MultipleFrameEstablished);
    bus.written.clear();
    log.clear();
  }

  Bus::End& end = bus.add("user");
  Upper stack{"user"};
  LAPD* user;
};

TEST_F(UserLink, ShortAndMalformedFramesChangeNothing) {
  established();
  inject({0x02, 0x01, 0x00, 0x00, 0x08});
  inject({0x02, 0x01, 0x02, 0x00, 0x08});
  bus.written.clear();
  log.clear();
  const ISDN::LAPDFullState before = user->full_state();
  const std::vector<std::vector<uint8_t>> bad = {
      {},                        // empty
      {0x02},                    // one octet
      {0x02, 0x01},              // no control field
      {0x02, 0x01, 0x02},        // I frame without N(R)
      {0x02, 0x01, 0x01},        // RR without N(R)
      {0x02, 0x01, 0x09},        // REJ without N(R)
      {0x03, 0x01, 0x7F},        // EA set in the first address octet
      {0x02, 0x00, 0x7F},        // EA clear in the second
      {0x02, 0x01, 0xE3},        // no such unnumbered frame
      {0x02, 0x01, 0x0D, 0x03},  // no such supervisory frame
  };
  for (const auto& frame : bad) {
    inject(frame);
    const ISDN::LAPDFullState& now = user->full_state();
    EXPECT_EQ(now.state, before.state);
    EXPECT_EQ(unsigned(now.vr), unsigned(before.vr));
    EXPECT_EQ(now.peer_tei, before.peer_tei);
    EXPECT_EQ(now.t203_running, before.t203_running);
  }
  EXPECT_TRUE(bus.written.empty());
  EXPECT_TRUE(stack.reports.empty());
  EXPECT_EQ(stack.received.size(), 2u);
  EXPECT_EQ(log.str(), "");
}

TEST_F(UserLink, PeerEventsInEachState) {
  user->log = 3;
  stack.activate();
  inject({0x00, 0x01, 0x1F});  // DM F=1 in awaiting establishment: released at once
  stack.activate();
  inject({0x00, 0x01, 0x73});
  inject({0x02, 0x01, 0x00, 0x00, 0x08, 0x01, 0x01, 0x05});
  inject({0x02, 0x01, 0x7F});  // SABME while established: UA, MDL-ERROR 32, counters reset
  EXPECT_EQ(unsigned(user->full_state().vr), 0u);
  elapse(10000);                     // T203: timer recovery, not logged at level 3
  inject({0x00, 0x01, 0x01, 0x0A});  // RR with N(R) 5 beyond V(S) 0
  EXPECT_EQ(user->full_state().state, ISDN::AwaitingEstablishment);
  EXPECT_EQ(user->stats.bad_confirm, 1u);
  EXPECT_EQ(stack.dump,
            "Other - N(R) error\n   - state: Timer recovery\n   - self: TEI=0, SAPI=0, busy=0\n"
            "   - peer: TEI=0, SAPI=0, busy=0\n   - counters: VS=0, VA=0, VR=0, RC=0\n"
            "   - internal signals: AckRQ=0, RetrRQ=0, QueuedUp=0\n"
            "   - flags: L3Initiated=1, Establishable=1, RejectException=0\n"
            "   - timers: T200 running, T202 stopped, T203 stopped");
  inject({0x00, 0x01, 0x03, 0x08, 0x00, 0x45});  // UI on a primary-rate link: ignored
  EXPECT_EQ(stack.received.size(), 1u);
  stack.deactivate();          // DISC, and T200 runs on in TEI assigned
  inject({0x02, 0x01, 0x7F});  // so starting T203 on this SABME is reported
  EXPECT_EQ(stack.reports.back(), "trying to start T203 while T200 running");
  EXPECT_TRUE(golden("pri-peer-events"));
}

TEST_F(UserLink, OutOfSequenceIFramesGetOneRejectAndAStrayUaChangesNothing) {
  established();
  stack.send(numbered(1));
  inject({0x02, 0x01, 0x02, 0x00, 0x08});  // N(S) 1 where 0 is due: REJ
  inject({0x02, 0x01, 0x04, 0x00, 0x08});  // N(S) 2: nothing more
  inject({0x02, 0x01, 0x04, 0x01, 0x08});  // N(S) 2 with P: RR F=1
  inject({0x02, 0x01, 0x00, 0x00, 0x08});  // N(S) 0: taken, acknowledged
  inject({0x00, 0x01, 0x73});              // a UA nobody asked for
  EXPECT_EQ(bus.written,
            (Strings{"user 00 01 00 00 08 01 05 7B 01", "user 02 01 09 00", "user 02 01 01 01", "user 02 01 01 02"}));
  EXPECT_EQ(user->stats.rejected, 3u);
  EXPECT_FALSE(user->full_state().reject_exception);
  EXPECT_EQ(unsigned(user->full_state().vs), 1u);
  EXPECT_EQ(user->unacknowledged(), 1u);
  EXPECT_EQ(stack.reports, Strings{"Other - Unknown"});
}

TEST_F(UserLink, BasicRateTeiAssignmentRemovalAndBroadcasts) {
  std::srand(7);
  user->change_to_bri();
  user->log = 4;
  inject(tei(0, 6, 0));  // TEI 0 removed: a request goes at once
  EXPECT_EQ(user->full_state().state, ISDN::AssignAwaitingTei);
  inject(tei(user->ri ^ 1, 2, 70));  // another terminal's answer
  inject(tei(user->ri, 3, 70));
  elapse(2000);
  inject(tei(user->ri, 2, 70));
  EXPECT_EQ(user->full_state().self_tei, 70);
  inject(tei(0, 4, 127));                              // check: answered
  inject(tei(0, 4, 71));                               // another TEI's check: not
  inject({0x02, 0xFF, 0x03, 0x08, 0x01, 0x05, 0x05});  // a broadcast SETUP wakes the link
  inject({0x00, 0x8F, 0x73});                          // for TEI 71: not ours
  inject({0x00, 0x8D, 0x73});
  EXPECT_EQ(user->full_state().state, ISDN::MultipleFrameEstablished);
  EXPECT_EQ(stack.received, Strings{"08 01 05 05"});
  user->mdl_remove();
  stack.send(numbered(1));  // data with no TEI asks for one
  EXPECT_EQ(user->full_state().state, ISDN::AssignAwaitingTei);
  EXPECT_TRUE(golden("bri-user-tei"));
}

// One TEI management message reaching a basic-rate terminal in one state.
struct TeiCase {
  ISDN::State from;
  ISDN::TeiMessageType type;
  uint8_t ai;
  bool other_ri;  // the answer to another terminal's request
  ISDN::State after;
  int tei;
  // Sent, byte for byte; "RI" stands for the terminal's Ri after the message.
  Strings frames;
  const char* timers;  // those running afterwards
  Strings reports;
  Strings releases;
  const char* logged;  // a line the message writes, or null
};

using ISDN::IdentityAssigned;
using ISDN::IdentityCheckRequest;
using ISDN::IdentityDenied;
using ISDN::IdentityRemove;
constexpr ISDN::State S0 = ISDN::TeiUnassigned, S1 = ISDN::AssignAwaitingTei, S2 = ISDN::EstablishAwaitingTei,
                      S3 = ISDN::TeiAssigned, S4 = ISDN::AwaitingEstablishment, S5 = ISDN::AwaitingRelease,
                      S6 = ISDN::MultipleFrameEstablished, S7 = ISDN::TimerRecovery;
const Strings none;
const Strings request = {"user FC FF 03 0F RI 01 FF"};
const Strings check_response = {"user FC FF 03 0F RI 05 01"};
const Strings timer_reports = {"trying to start T200 while T202 running", "trying to stop T202 while T200 running"};
const Strings denied = {"Tei Assign - Tei denied"};
const Strings removed = {"error (MDL-REMOVE received)"};

const TeiCase tei_cases[] = {
    {S0, IdentityAssigned, 70, false, S0, 0, none, "", none, none, nullptr},
    {S1, IdentityAssigned, 70, false, S3, 70, none, "T200", none, none, "MDL-ASSIGN (tei=70)\n"},
    {S1, IdentityAssigned, 70, true, S1, 0, none, "T202", none, none, nullptr},
    // The pending establish sends SABME on the new TEI while T202 still runs.
    {S2, IdentityAssigned, 70, false, S4, 70, {"user 00 8D 7F"}, "T200", timer_reports, none, nullptr},
    {S2, IdentityAssigned, 70, true, S2, 0, none, "T202", none, none, nullptr},
    {S6, IdentityAssigned, 70, false, S6, 0, none, "T203", none, none, nullptr},
    {S1, IdentityDenied, 70, false, S1, 0, none, "T202", denied, none, "ASP returned: TEI 70 denied\n"},
    {S1, IdentityDenied, 127, false, S1, 0, none, "T202", denied, none, "ASP returned: All TEI's used\n"},
    {S1, IdentityDenied, 70, true, S1, 0, none, "T202", none, none, nullptr},
    {S2, IdentityDenied, 70, false, S2, 0, none, "T202", none, none, nullptr},
    {S3, IdentityDenied, 70, false, S3, 0, none, "", none, none, nullptr},
    {S0, IdentityRemove, 127, false, S1, 0, request, "T202", none, none, nullptr},  // e.g. after T202 gave up
    // A request is out: the second of the network's two removes leaves it waiting for its answer.
    {S1, IdentityRemove, 127, false, S1, 0, none, "T202", none, none, nullptr},
    {S2, IdentityRemove, 127, false, S2, 0, none, "T202", none, none, nullptr},
    {S3, IdentityRemove, 127, false, S1, 0, request, "T202", none, none, nullptr},
    {S3, IdentityRemove, 0, false, S1, 0, request, "T202", none, none, nullptr},
    {S3, IdentityRemove, 5, false, S3, 0, none, "", none, none, nullptr},  // another terminal's TEI
    {S4, IdentityRemove, 127, false, S1, 0, request, "T202", none, removed, nullptr},
    {S5, IdentityRemove, 127, false, S1, 0, request, "T202", none, removed, nullptr},
    {S6, IdentityRemove, 127, false, S1, 0, request, "T202", none, removed, nullptr},
    {S7, IdentityRemove, 127, false, S1, 0, request, "T202", none, removed, nullptr},
    {S2, IdentityCheckRequest, 127, false, S2, 0, none, "T202", none, none, nullptr},
    {S3, IdentityCheckRequest, 127, false, S3, 0, check_response, "", none, none, nullptr},
    {S3, IdentityCheckRequest, 0, false, S3, 0, check_response, "", none, none, nullptr},
    {S3, IdentityCheckRequest, 5, false, S3, 0, none, "", none, none, nullptr},
    {S7, IdentityCheckRequest, 127, false, S7, 0, check_response, "T200", none, none, nullptr},
};

// "RemoveIn3Ai127": the message, the state it finds, its Ai, and whose Ri it carries.
std::string case_name(const TeiCase& c) {
  static const char* const names[] = {"", "", "Assigned", "Denied", "CheckRequest", "", "Remove"};
  return names[c.type] + std::string("In") + std::to_string(unsigned(c.from)) + "Ai" + std::to_string(c.ai) +
         (c.other_ri ? "OtherRi" : "");
}
void PrintTo(const TeiCase& c, std::ostream* out) { *out << case_name(c); }

class TeiManagement : public UserLink, public ::testing::WithParamInterface<TeiCase> {
protected:
  // A basic-rate terminal on TEI 0, brought to `state` by the way a line gets there.
  void reach(ISDN::State state) {
    std::srand(7);
    user->change_to_bri();
    if (state == S0 || state == S2) user->mdl_remove();
    if (state == S1) inject(tei(0, IdentityRemove, 127));
    if (state == S2 || state == S4) stack.activate();
    if (state >= S5) established();
    if (state == S5) stack.deactivate();
    if (state == S7) elapse(10000);
    ASSERT_EQ(user->full_state().state, state);
    bus.written.clear();
    stack.reports.clear();
    stack.releases.clear();
    log.clear();
  }
  std::string timers() const {
    const ISDN::LAPDFullState& s = user->full_state();
    std::string running;
    for (auto [on, name] : {std::pair{s.t200_running, "T200"}, {s.t202_running, "T202"}, {s.t203_running, "T203"}})
      if (on) running += running.empty() ? name : std::string(" ") + name;
    return running;
  }
};

TEST_P(TeiManagement, MessageInState) {
  const TeiCase& c = GetParam();
  reach(c.from);
  inject(tei(c.other_ri ? user->ri ^ 1 : user->ri, c.type, c.ai));
  char ri[6];
  std::snprintf(ri, sizeof ri, "%02X %02X", user->ri & 0xFF, user->ri >> 8);
  Strings frames = c.frames;
  for (std::string& f : frames)
    if (size_t at = f.find("RI"); at != std::string::npos) f.replace(at, 2, ri);
  EXPECT_EQ(user->full_state().state, c.after);
  EXPECT_EQ(user->full_state().self_tei, c.tei);
  EXPECT_EQ(bus.written, frames);
  EXPECT_EQ(timers(), c.timers);
  EXPECT_EQ(stack.reports, c.reports);
  EXPECT_EQ(stack.releases, c.releases);
  if (c.logged) {
    EXPECT_NE(log.str().find(c.logged), std::string::npos) << log.str();
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, TeiManagement, ::testing::ValuesIn(tei_cases),
                         [](const auto& info) { return case_name(info.param); });

TEST_F(UserLink, EmptyPacketPoolAtTheEntryPointsIsLoggedCountedAndSurvived) {
  established();
  Packet message = bytes(numbered(1));
  Packet poll = bytes({0x02, 0x01, 0x01, 0x01});
  std::vector<Packet> hoard;
  try {
    for (;;) hoard.push_back(bytes({}));
  } catch (const std::bad_alloc&) {
  }
  user->message(message);       // the I frame cannot be built: the message waits
  user->on_hdlc_receive(poll);  // no answer to the poll, and the I frame tried again
  elapse(10000);                // no enquiry either: T203 goes on to timer recovery
  std::string dropped;
  for (int i = 0; i < 4; ++i) dropped += "LAPD[1] (Multiple frame established): packet pool empty: frame dropped\n";
  EXPECT_EQ(errors.str(), dropped);
  EXPECT_EQ(user->stats.out_overflows, 4u);
  EXPECT_EQ(user->full_state().state, ISDN::TimerRecovery);
  EXPECT_TRUE(bus.written.empty());
  hoard.clear();
  elapse(1000);
  inject({0x00, 0x01, 0x01, 0x01});
  EXPECT_EQ(bus.written, (Strings{"user 00 01 01 01", "user 00 01 00 00 08 01 05 7B 01"}));
}

}  // namespace
