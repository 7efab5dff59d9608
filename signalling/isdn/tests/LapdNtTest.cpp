// The network side of a BRI line against our basic-rate terminals on one
// bus, and against frames written by hand: TEI assignment, check and
// removal, 8 terminals, routing by call reference, polling, retransmission,
// the messages held for a terminal that stops taking frames.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iomanip>

#include "signalling/isdn/Lapd.h"
#include "signalling/isdn/LapdNt.h"
#include "signalling/isdn/tests/LinkSupport.h"

namespace {

using ISDN::LAPD;
using ISDN::LAPD_NT;
using ISDN::LAPD_NT_user;
using isdn_test::Bus;
using isdn_test::Upper;

using Strings = std::vector<std::string>;

class BriBus : public isdn_test::LinkTest, public ::testing::WithParamInterface<isdn_test::Line> {
protected:
  BriBus() : LinkTest(GetParam()), net(new LAPD_NT) {
    std::srand(1);
    net->set_log(2);
    net->hdlc = &net_end;
    net_end.listener = net;
    net_stack.add_protocol_tail(net);
  }
  ~BriBus() override {
    for (auto& s : stacks) delete s;
  }
  // A terminal that asks for its TEI when activated.
  LAPD* terminal(unsigned log = 2) {
    const std::string name = "te" + std::to_string(terminals.size() + 1);
    Bus::End& end = bus.add(name);
    stacks.push_back(new Upper(name));
    LAPD* te = new LAPD(ISDN::Side::user, log);
    te->trunk = unsigned(terminals.size() + 1);
    te->change_to_bri();
    te->hdlc = &end;
    end.listener = te;
    stacks.back()->add_protocol_tail(te);
    te->mdl_remove();
    terminals.push_back(te);
    ends.push_back(&end);
    return te;
  }
  void inject(const std::vector<uint8_t>& octets) {
    Packet p;
    p.reserve_head(0);
    p.put(octets.data(), unsigned(octets.size()));
    std::clog << "[" << std::setw(6) << isdn_test::now_ms() << "] in   > " << p.text() << std::endl;
    net->on_hdlc_receive(p);
  }
  static std::vector<uint8_t> tei_message(uint16_t ri, uint8_t type, uint8_t ai) {
    return {0xFC, 0xFF, 0x03, 0x0F, uint8_t(ri), uint8_t(ri >> 8), type, uint8_t(ai << 1 | 1)};
  }

  Bus::End& net_end = bus.add("net ");
  Upper net_stack{"net"};
  LAPD_NT* net;
  std::vector<Upper*> stacks;
  std::vector<LAPD*> terminals;
  std::vector<Bus::End*> ends;
};

TEST_P(BriBus, TerminalGetsATeiEstablishesCarriesMessagesAndPassesTheAudit) {
  LAPD* te = terminal();
  net_stack.activate();
  stacks[0]->activate();
  settle();
  EXPECT_EQ(te->full_state().self_tei, 64);
  EXPECT_EQ(te->full_state().state, ISDN::MultipleFrameEstablished);
  stacks[0]->send({0x08, 0x01, 0x05, 0x05, 0x04, 0x03, 0x80, 0x90, 0xA2});
  settle();
  net_stack.send({0x08, 0x01, 0x85, 0x07});
  settle();
  elapse(60000);
  EXPECT_EQ(net_stack.received, Strings{"08 01 05 05 04 03 80 90 A2"});
  EXPECT_EQ(stacks[0]->received, Strings{"08 01 85 07"});
  EXPECT_EQ(net->user(0).state, LAPD_NT_user::assigned);
  EXPECT_FALSE(net->user(0).check_pending);
  EXPECT_TRUE(golden("nt-assign-traffic-audit"));
}

TEST_P(BriBus, EightTerminalsGetTheirOwnTeiAndTheNinthIsDenied) {
  for (int i = 0; i < 9; ++i) terminal();
  net_stack.activate();
  for (Upper* s : stacks) s->activate();
  settle();
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(terminals[i]->full_state().self_tei, 64 + i);
    EXPECT_EQ(terminals[i]->full_state().state, ISDN::MultipleFrameEstablished);
    EXPECT_EQ(net->user(i).tei, 64 + i);
  }
  elapse(10000);
  EXPECT_EQ(terminals[8]->full_state().state, ISDN::TeiUnassigned);
  EXPECT_EQ(stacks[8]->releases, Strings{"link error (T202 expired N202 times)"});
  // Its establish request waits in state 2, where a denial changes nothing: five requests, then it gives up.
  EXPECT_EQ(std::count_if(bus.written.begin(), bus.written.end(),
                          [](const std::string& f) { return f.rfind("te9 FC FF 03 0F ", 0) == 0; }),
            5);
  EXPECT_EQ(log.str().find("ASP returned"), std::string::npos);
  EXPECT_EQ(std::count(stacks[8]->reports.begin(), stacks[8]->reports.end(), "Tei Assign - Tei denied"), 0);
  EXPECT_TRUE(golden("nt-eight-terminals"));
}

TEST_P(BriBus, SetupGoesToEveryTerminalAndOtherMessagesFollowTheCallReference) {
  terminal(0);
  terminal(0);
  net->set_log(0);
  net_stack.activate();
  for (Upper* s : stacks) s->activate();
  settle();
  bus.written.clear();
  net_stack.send({0x08, 0x01, 0x05, 0x05, 0xA1});
  settle();
  EXPECT_EQ(bus.written, Strings{"net  02 FF 03 08 01 05 05 A1"});
  stacks[1]->send({0x08, 0x01, 0x85, 0x01});
  settle();
  net_stack.send({0x08, 0x01, 0x05, 0x0F});
  settle();
  EXPECT_EQ(stacks[0]->received, Strings{"08 01 05 05 A1"});
  EXPECT_EQ(stacks[1]->received, (Strings{"08 01 05 05 A1", "08 01 05 0F"}));
  net_stack.send({0x08, 0x01, 0x09, 0x0F});
  settle();
  EXPECT_EQ(stacks[1]->received.size(), 2u) << "no terminal uses call reference 9";
}

TEST_P(BriBus, LostIFrameGoesAgainWithTheCurrentNR) {
  terminal(0);
  net->set_log(0);
  net_stack.activate();
  stacks[0]->activate();
  stacks[0]->send({0x08, 0x01, 0x05, 0x05});
  settle();
  elapse(1000);
  net_end.lose = 1;
  net_stack.send({0x08, 0x01, 0x85, 0x07});
  stacks[0]->send({0x08, 0x01, 0x05, 0x7B});
  settle();
  bus.written.clear();
  elapse(1000);
  EXPECT_EQ(bus.written.front(), "net  02 81 00 05 08 01 85 07");
  EXPECT_EQ(stacks[0]->received, Strings{"08 01 85 07"});
  // Only the assignment's timer reports: no N(R) error.
  EXPECT_EQ(stacks[0]->reports,
            (Strings{"trying to start T200 while T202 running", "trying to stop T202 while T200 running"}));
}

TEST_P(BriBus, TeiManagementAnswersAndPollingByHand) {
  net_stack.activate();
  inject(tei_message(0x1234, 1, 127));  // assigned 64
  inject(tei_message(0x1235, 1, 127));  // assigned 65
  inject(tei_message(0x1236, 1, 70));   // denied with Ai 70
  inject(tei_message(0x1237, 1, 10));   // nothing
  inject(tei_message(0x2000, 5, 127));  // check response for the group TEI: removed
  inject(tei_message(0x1111, 5, 64));   // a second terminal with TEI 64: removed
  inject(tei_message(0x2222, 5, 90));   // an unknown TEI answers: taken into use
  inject({0x00, 0xB5, 0x01, 0x00});     // RR from 90
  inject({0x00, 0x95});                 // too short: nothing, not even an assignment
  inject({0x00, 0x95, 0x01});
  EXPECT_EQ(net->find_Tei(74), nullptr);
  inject(tei_message(0x3333, 7, 127));  // verify: the audit runs
  inject(tei_message(0x2222, 5, 90));   // 90 answers the check, 65 does not
  elapse(2000);
  EXPECT_EQ(net->find_Tei(65), nullptr);
  ASSERT_NE(net->find_Tei(90), nullptr);
  for (uint16_t ri = 0x4000; ri < 0x4007; ++ri) inject(tei_message(ri, 1, 127));
  inject({0x00, 0xC9, 0x7F});           // SABME from TEI 100 with every user in use
  inject(tei_message(0x5000, 1, 127));  // no user left: denied
  elapse(10000);                        // the terminal on 90 answers nothing
  elapse(4000);
  EXPECT_EQ(net->find_Tei(90), nullptr);
  EXPECT_TRUE(golden("nt-tei-management"));
}

TEST_P(BriBus, AtMostSevenIFramesOutstandingAndRejectSendsTheRestAgain) {
  net->set_log(0);
  net_stack.activate();
  inject(tei_message(0x1234, 1, 127));
  inject({0x00, 0x81, 0x00, 0x00, 0x08, 0x01, 0x85, 0x01});  // TEI 64 uses call reference 5
  bus.written.clear();
  for (uint8_t i = 0; i < 9; ++i) net_stack.send({0x08, 0x01, 0x05, 0x7B, i});
  EXPECT_EQ(bus.written.size(), 7u);
  EXPECT_EQ(bus.written.back(), "net  02 81 0C 03 08 01 05 7B 06");
  EXPECT_EQ(net->user(0).held(), 2u);
  bus.written.clear();
  inject({0x02, 0x81, 0x09, 0x06});  // REJ N(R) 3
  EXPECT_EQ(bus.written, (Strings{"net  02 81 06 03 08 01 05 7B 03", "net  02 81 08 03 08 01 05 7B 04",
                                  "net  02 81 0A 03 08 01 05 7B 05", "net  02 81 0C 03 08 01 05 7B 06",
                                  "net  02 81 0E 03 08 01 05 7B 07", "net  02 81 10 03 08 01 05 7B 08"}));
  EXPECT_EQ(net->user(0).unacknowledged(), 6u);
  inject({0x02, 0x81, 0x01, 0x20});  // RR N(R) 16, beyond V(S) 9: the TEI is freed
  EXPECT_EQ(net->user(0).state, LAPD_NT_user::unassigned);
}

TEST_P(BriBus, StalledTerminalHoldsAtMostTheLimitAndGetsTheHeldOnesInOrderOnceItAcknowledges) {
  // The terminal stops taking frames with its window full, or at once with RNR.
  struct Stall {
    const char* how;
    std::vector<uint8_t> frame;
    unsigned in_flight;
  };
  const Stall stalls[] = {{"no acknowledgement", {}, LAPD_NT_user::window}, {"RNR", {0x02, 0x81, 0x05, 0x00}, 0}};
  const auto iframe = [](unsigned ns, unsigned message) {
    char text[48];
    std::snprintf(text, sizeof text, "net  02 81 %02X 03 08 01 05 7B %02X", ns % 128 * 2, message);
    return std::string(text);
  };
  net->set_log(0);
  net_stack.activate();
  for (const Stall& stall : stalls) {
    SCOPED_TRACE(stall.how);
    inject(tei_message(0x1234, 1, 127));
    inject({0x00, 0x81, 0x00, 0x00, 0x08, 0x01, 0x85, 0x01});  // TEI 64 uses call reference 5
    if (!stall.frame.empty()) inject(stall.frame);
    bus.written.clear();
    // One message more than the window and the held ones take: the oldest held makes way.
    const unsigned messages = stall.in_flight + LAPD_NT_user::held_limit + 1;
    for (unsigned i = 0; i < messages; ++i) net_stack.send({0x08, 0x01, 0x05, 0x7B, uint8_t(i)});
    EXPECT_EQ(bus.written.size(), stall.in_flight);
    EXPECT_EQ(net->user(0).unacknowledged(), stall.in_flight);
    EXPECT_EQ(net->user(0).held(), 128u);
    for (int round = 0; round < 30 && (net->user(0).held() > 0 || net->user(0).unacknowledged() > 0); ++round) {
      inject({0x02, 0x81, 0x01, uint8_t(unsigned(net->user(0).vs) << 1)});  // RR acknowledging all sent
    }
    Strings sent;
    for (unsigned i = 0; i < messages; ++i) {
      if (i != stall.in_flight) sent.push_back(iframe(unsigned(sent.size()), i));
    }
    EXPECT_EQ(bus.written, sent);
    EXPECT_EQ(net->user(0).held(), 0u);
    EXPECT_EQ(net->user(0).unacknowledged(), 0u);
    inject({0x00, 0x81, 0x53});  // DISC: the TEI is free for the next case
  }
}

TEST_P(BriBus, EmptyPacketPoolDropsTheMessageWithOneLine) {
  net_stack.activate();
  Packet setup;
  setup.reserve_head(0);
  for (uint8_t b : {0x08, 0x01, 0x05, 0x05}) setup.put(b);
  std::vector<Packet> hoard;
  try {
    for (Packet p;; p.release()) {
      p.reserve_head(0);
      hoard.push_back(p);
    }
  } catch (const std::bad_alloc&) {
  }
  net_stack.message(setup);
  EXPECT_EQ(errors.str(), "LAPD(NT BRI):packet pool empty: frame dropped\n");
  EXPECT_EQ(net->overflows, 1u);
}

INSTANTIATE_TEST_SUITE_P(Lines, BriBus, isdn_test::lines, isdn_test::lineName);

}  // namespace
