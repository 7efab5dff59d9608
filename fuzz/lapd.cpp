// Q.921 frames into a live user-side entity. The first octet sets the line
// (basic rate with TEI management, or primary rate), the trace level, and
// the state the input starts in: idle (awaiting a TEI on basic rate),
// multiple frame established, or timer recovery with an I frame unanswered.
// The rest is a list of steps, each an octet naming it (modulo the count)
// and its arguments: frames as they come, frames built around the entity's
// own sequence numbers and TEI, TEI management messages, layer-3 messages
// from above, the clock moving on, DL and MDL primitives, a channel that
// refuses and comes back, and the link information report.
// After every step the queues stay within their bounds; every frame sent
// decodes; once the entity is gone every packet buffer and timer is back.
#include <cstdlib>
#include <vector>

#include "asn1/CoderEnv.h"
#include "foundation/eventloop/Multiplexer.h"
#include "fuzz/Isdn.h"
#include "testing/Loop.h"

namespace {

using ISDN::LAPD;

class Channel : public GenericHDLC {
public:
  bool hdlc_transmit(Packet& frame) override {
    if (refusing) return false;
    Fuzz::sent(frame);
    return true;
  }
  bool is_open() const override { return true; }
  bool is_ready() const override { return !refusing; }

  bool refusing = false;
};

struct Link {
  explicit Link(uint8_t mode) {
    std::srand(1);
    owner.add_protocol_tail(&lapd);
    lapd.trunk = 1;
    lapd.hdlc = &channel;
    lapd.log = (mode >> 3) % 5;
    if (mode & 4) {
      lapd.change_to_bri();
      lapd.mdl_remove();
    }
    if (mode % 3 == 0) {
      if (lapd.bri) lapd.local_activate();
      return;
    }
    establish();
    if (mode % 3 == 2) {
      message(std::string(5, '\x08'));
      clock.advance(ISDN::timer_ms(ISDN::TimerName::T200));
    }
  }
  // Frames from the network carry C/R 1 on commands, 0 on responses (Q.921 3.3.2).
  void establish() {
    lapd.local_activate();
    if (lapd.bri) management(lapd.ri, ISDN::IdentityAssigned, 64);
    inject(Fuzz::frame({ISDN::address1(0, false), ISDN::address2(tei()), ISDN::Control::UA | ISDN::Control::PF}));
  }
  unsigned tei() const { return unsigned(lapd.full_state().self_tei); }
  void inject(Packet frame) { lapd.on_hdlc_receive(frame); }
  void management(uint16_t ri, uint8_t type, uint8_t ai) {
    inject(Fuzz::frame({ISDN::address1(ISDN::tei_management_sapi, true), ISDN::address2(ISDN::group_tei),
                        ISDN::Control::UI, ISDN::tei_management_entity, uint8_t(ri), uint8_t(ri >> 8), type,
                        uint8_t(ai << 1 | 1)}));
  }
  void message(const std::string& octets) {
    Packet p;
    owner.prepare_head(p);
    if (!octets.empty()) p.put(octets.data(), unsigned(octets.size()));
    lapd.message(p);
  }

  Testing::PinnedClock clock;
  Channel channel;
  Fuzz::Owner owner;
  LAPD& lapd = *new LAPD(ISDN::Side::user, 0);
};

const uint8_t unnumbered[] = {ISDN::Control::SABME, ISDN::Control::DISC, ISDN::Control::UA,  ISDN::Control::DM,
                              ISDN::Control::FRMR,  ISDN::Control::UI,   ISDN::Control::XID, ISDN::Control::SABME};
const uint8_t supervisory[] = {ISDN::Control::RR, ISDN::Control::RNR, ISDN::Control::REJ, ISDN::Control::RR};

void step(Link& link, Fuzz::Steps& steps) {
  LAPD& lapd = link.lapd;
  const ISDN::LAPDFullState& s = lapd.full_state();
  switch (steps.octet() % 10) {
    case 0: link.inject(Fuzz::frame({}, steps.octets(steps.octet()))); break;
    case 1: {
      // Mostly in sequence, N(R) anywhere from V(A) on.
      const uint8_t a = steps.octet();
      const unsigned ns = unsigned(s.vr) + ((a & 6) == 6 ? 1 : 0);
      const unsigned nr = unsigned(s.va) + (a >> 3 & 7);
      link.inject(Fuzz::frame({ISDN::address1(0, !(a & 0x40)), ISDN::address2(a & 0x80 ? link.tei() + 1 : link.tei()),
                               uint8_t(ns << 1), uint8_t(nr << 1 | (a & 1))},
                              steps.octets(steps.octet())));
      break;
    }
    case 2: {
      const uint8_t a = steps.octet();
      const unsigned nr = a & 0x80 ? unsigned(s.vs) : unsigned(s.va) + (a >> 4 & 7);
      link.inject(Fuzz::frame(
          {ISDN::address1(0, a & 8), ISDN::address2(link.tei()), supervisory[a & 3], uint8_t(nr << 1 | (a >> 2 & 1))}));
      break;
    }
    case 3: {
      const uint8_t a = steps.octet();
      const uint8_t control = uint8_t(unnumbered[a & 7] | (a & 8 ? ISDN::Control::PF : 0));
      const unsigned tei = a & 0x20 ? ISDN::group_tei : link.tei();
      link.inject(Fuzz::frame({ISDN::address1(0, a & 0x10), ISDN::address2(tei), control},
                              a & 0x40 ? steps.octets(steps.octet()) : ""));
      break;
    }
    case 4: {
      const uint8_t a = steps.octet();
      const uint8_t type = a & 7 ? a & 7 : ISDN::IdentityAssigned;
      const uint16_t ri = a & 8 ? steps.word() : lapd.ri;
      const uint8_t ais[] = {uint8_t(link.tei()), ISDN::group_tei, uint8_t(64 + steps.octet() % 63),
                             uint8_t(steps.octet() >> 1)};
      link.management(ri, type, ais[a >> 4 & 3]);
      break;
    }
    case 5: link.message(steps.octets(steps.octet())); break;
    case 6: link.clock.advance(steps.octet() * 100u); break;
    case 7:
      switch (steps.octet() % 5) {
        case 0: lapd.local_activate(); break;
        case 1: lapd.local_deactivate(); break;
        case 2: lapd.mdl_remove(); break;
        case 3: lapd.mdl_assign(uint8_t(steps.octet() >> 1)); break;
        case 4: lapd.on_hdlc_error(HDLC::Notify::Cause::receiveFailure); break;
      }
      break;
    case 8:
      link.channel.refusing = !link.channel.refusing;
      if (!link.channel.refusing) lapd.on_hdlc_ready();
      break;
    case 9: {
      ACP::IsdnLinkInfo info;
      lapd.GetInfo(info);
      std::vector<char> octets;
      Fuzz::expect(ASN1::CoderEnv(ASN1::CoderEnv::per_Aligned).encode(info, octets) > 0,
                   "the link information encodes");
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Fuzz::setUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  {
    Fuzz::HeapWatch heap;
    Link link(data[0]);
    const ISDN::State expected[] = {link.lapd.bri ? ISDN::EstablishAwaitingTei : ISDN::TeiAssigned,
                                    ISDN::MultipleFrameEstablished, ISDN::TimerRecovery};
    Fuzz::expect(link.lapd.full_state().state == expected[data[0] % 3], "the link starts in the state asked for");
    Fuzz::Steps steps(data + 1, size - 1);
    while (steps.more()) {
      step(link, steps);
      Fuzz::withinBounds(link.lapd);
    }
    heap.within(1024 * 1024, 1024, size, "the link");
  }
  Fuzz::expect(packet_pool().count() == 1024, "every packet buffer is back in the pool");
  Fuzz::expect(multiplexer.timer_count() == 0, "no timer is left armed");
  return 0;
}
