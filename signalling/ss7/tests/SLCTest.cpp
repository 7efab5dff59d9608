// Two links back to back; each scenario's transcript is compared with its
// golden file (GW_REWRITE_GOLDEN=1 rewrites them).

#include <new>
#include <vector>

#include "signalling/ss7/tests/LinkPair.h"

namespace ss7test {
namespace {

// An MSU payload: SIO 0x83, then 1, 2, 3...
std::string octets(unsigned n) {
  std::string s(n, '\0');
  for (unsigned i = 0; i < n; ++i) s[i] = char(i ? i : 0x83);
  return s;
}

std::string su(std::initializer_list<uint8_t> bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST_F(LinkPair, AlignmentProvingAndTransferBothWays) {
  for (SS7::SLC* link : {&A, &B}) link->log.rawReceive = link->log.rawTransmit = true;
  align();
  send(A, octets(3));
  line.deliver();
  send(B, octets(62));
  send(B, octets(63));
  line.deliver();
  golden("alignment");
}

TEST_F(LinkPair, EmergencyProving) {
  A.params.emergency = B.params.emergency = true;
  A.local_activate();
  line.deliver();
  wait(SS7::SLC::T4e.ms - 1);
  wait(1);
  send(A, octets(5));
  line.deliver();
  golden("emergency");
}

TEST_F(LinkPair, GapAnsweredByNegativeAcknowledgementAndRetransmission) {
  align();
  line.a.lose = 1;
  for (unsigned n = 3; n < 6; ++n) send(A, octets(n));
  line.deliver();
  golden("retransmission");
}

TEST_F(LinkPair, T7FailsTheLinkAndTheBsnSurvivesForChangeover) {
  align();
  send(A, octets(3));
  line.deliver();
  line.b.lose = -1;
  send(A, octets(4));
  line.deliver();
  wait(SS7::SLC::T7.ms - 1);
  wait(1);
  std::clog << "B bsn " << B.last_accepted_fsn() << "\n";
  line.b.lose = 0;
  align();
  golden("t7");
}

// A busy link: the far end acknowledges each MSU only after the next has gone
// out, so one is always outstanding. Every acknowledgement that frees part of
// the RTB starts T7 again; sending does not, nor does a FISU that acknowledges
// nothing new, so T7 runs out one period after the last acknowledgement,
// although an MSU went out and a FISU came in since.
TEST_F(LinkPair, EachAcknowledgementRestartsT7) {
  align();
  line.b.lose = -1;  // the far end's acknowledgements come by hand
  send(A, octets(3));
  line.deliver();
  const auto acknowledge = [&](unsigned bsn) { line.inject(line.a, su({uint8_t(0x80 | bsn), 0xFF, 0})); };
  for (unsigned bsn = 0; bsn < 4; ++bsn) {
    wait(SS7::SLC::T7.ms / 2);
    send(A, octets(4));
    line.deliver();
    wait(2000);
    acknowledge(bsn);
    ASSERT_EQ(A.get_state_id(), SS7::SLC::State::inService) << "after the acknowledgement of " << bsn;
    EXPECT_EQ(A.statistics().rtbSize, 1u);
  }
  wait(SS7::SLC::T7.ms / 3);
  send(A, octets(5));
  line.deliver();
  wait(SS7::SLC::T7.ms / 3);
  acknowledge(3);
  wait(SS7::SLC::T7.ms - 2 * (SS7::SLC::T7.ms / 3) - 1);
  EXPECT_EQ(A.get_state_id(), SS7::SLC::State::inService);
  EXPECT_EQ(A.statistics().rtbSize, 2u);
  wait(1);
  EXPECT_EQ(A.get_state_id(), SS7::SLC::State::idle);
  EXPECT_NE(text.find("(worked): T7 expired: 2 packets in RTB.\n"), std::string::npos);
}

TEST_F(LinkPair, AlignmentTimersT2T3T1) {
  line.a.lose = -1;
  A.local_activate();
  wait(SS7::SLC::T2.ms);
  line.inject(line.a, su({0xFF, 0xFF, 1, SS7::SLC::SIO}));
  wait(SS7::SLC::T3.ms);
  line.inject(line.a, su({0xFF, 0xFF, 1, SS7::SLC::SIN}));
  wait(SS7::SLC::T4n.ms);
  wait(SS7::SLC::T1.ms);
  golden("timers");
}

// Each failure from in service, then realignment from idle.
TEST_F(LinkPair, FailuresAndRealignment) {
  const std::vector<std::pair<const char*, std::function<void()>>> failures = {
      {"lssu",
       [&] {
         line.inject(line.b, su({0xFF, 0xFF, 1, SS7::SLC::SIO}));
       }},
      {"unknown status",
       [&] {
         line.inject(line.b, su({0xFF, 0xFF, 1, 4}));
       }},
      {"trunk down", [&] { A.OnTrunkHardStatus(true), A.OnTrunkHardStatus(false); }},
      {"hdlc error", [&] { B.on_hdlc_error(HDLC::Notify::Cause::receiveFailure); }},
      {"two bad FIBs",
       [&] {
         line.inject(line.b, su({0xFF, 0x7F, 0})), line.inject(line.b, su({0xFF, 0x7F, 0}));
       }},
      {"two bad BSNs",
       [&] {
         line.inject(line.b, su({0x80, 0xFF, 0})), line.inject(line.b, su({0x80, 0xFF, 0}));
       }},
      {"local deactivation, twice", [&] { A.local_deactivate(), A.local_deactivate(); }},
  };
  for (const auto& failure : failures) {
    std::clog << "## " << failure.first << "\n";
    align();
    A.local_activate();
    failure.second();
    line.deliver();
  }
  golden("failures");
}

// Frames that are short, long or disagree with their LI, into a link in
// service; B's answers are lost so that only B's handling shows.
TEST_F(LinkPair, MalformedShortAndLongUnits) {
  align();
  line.b.lose = -1;
  send(A, octets(2));
  send(A, octets(274));
  send(A, octets(273));
  Packet bare;  // no room for the header
  bare.reserve_head(0);
  bare.put(octets(3).data(), 3);
  A.message(bare);
  line.deliver();
  line.inject(line.b, "");
  line.inject(line.b, su({0xFF, 0xFF}));
  line.inject(line.b, su({0xFF, 0x82, 10}) + octets(12));   // LI 10, 12 follow: cut to 10
  line.inject(line.b, su({0xFF, 0x83, 12}) + octets(10));   // LI 12, 10 follow
  line.inject(line.b, su({0xFF, 0x84, 0x43}) + octets(3));  // a spare bit set
  line.inject(line.b, su({0xFF, 0x85, 63}) + octets(70));
  line.inject(line.b, su({0xFF, 0x86, 48}) + octets(300));  // longer than any MSU
  line.inject(line.b, su({0xFF, 0x86, 0, 1, 2}));           // LI 0, 2 follow: a FISU
  line.deliver();
  golden("malformed");
}

// Queue limits: 200 MSUs wait in the TB, at most 127 go unacknowledged, and
// the rest follow as acknowledgements free the RTB.
TEST_F(LinkPair, TransmissionAndRetransmissionBufferLimits) {
  align();
  for (SS7::SLC* link : {&A, &B}) link->log = {};
  const uint32_t received = B.statistics().msuReceived;
  line.a.blocked = true;
  for (unsigned i = 0; i < 201; ++i) send(A, octets(3));
  EXPECT_EQ(A.statistics().overflow, 1u);
  EXPECT_NE(text.find("E SS7/L2 [dpc=2, slc=0, trunk=1] (worked): no space in TB buffer, TB=200 RTB=0 ignoring msu: "
                      "83 01 02\n"),
            std::string::npos);
  line.b.lose = -1;
  const uint32_t before = A.statistics().msuSent;
  line.unblock(line.a);
  A.on_hdlc_ready();
  EXPECT_EQ(A.statistics().msuSent - before, 127u);
  EXPECT_EQ(A.statistics().rtbSize, 127u);
  line.deliver();
  line.b.lose = 0;
  send(B, octets(3));
  line.deliver();
  EXPECT_EQ(A.statistics().msuSent - before, 200u + 1);
  EXPECT_EQ(B.statistics().msuReceived - received, 200u + 1);  // and the FISU acknowledging B's MSU
  EXPECT_EQ(A.statistics().rtbSize, 0u);
}

// A refused MSU waits for the channel; FISUs sent meanwhile carry the FSN of
// the last MSU that went out, so the far end sees no gap.
TEST_F(LinkPair, RefusedFrameWaitsForTheChannel) {
  align();
  send(A, octets(3));
  line.deliver();
  line.a.blocked = true;
  send(A, octets(4));
  line.a.blocked = false;
  send(B, octets(5));
  line.deliver();
  line.unblock(line.a);
  line.deliver();
  golden("refused");
}

TEST_F(LinkPair, EmptyPacketPool) {
  align();
  Packet payload;
  A.prepare_head(payload);
  payload.put(octets(3).data(), 3);
  std::vector<Packet> held;
  try {
    for (;;) {
      held.emplace_back();
      held.back().reserve_head(0);
    }
  } catch (const std::bad_alloc&) {
    held.pop_back();
  }
  A.message(payload);
  A.local_deactivate();
  held.clear();
  A.local_activate();
  line.deliver();
  golden("pool");
}

}  // namespace
}  // namespace ss7test
