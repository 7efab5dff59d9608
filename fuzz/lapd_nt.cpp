// Q.921 frames into a live network side of a basic-rate bus, with three of
// our user-side terminals on the bus. The first octet picks the state the
// input starts in: every terminal established; established with the TEI
// audit waiting for answers that were lost; the terminals awaiting the TEIs
// the network assigned in answers that were lost; or the network waiting
// for a terminal to acknowledge I frames. The rest is a list of steps, each
// an octet naming it (modulo the count) and its arguments: frames into the
// network as they come, frames built around one of its links' sequence
// numbers and TEI, TEI management messages, layer-3 messages from above on
// either side, the clock moving on, frames on the bus delivered or lost,
// primitives to a terminal, and the network deactivated or audited.
// After every step each link holds at most its limit of messages and a
// window of frames, no two links share a TEI and none holds the group TEI;
// every frame sent decodes; once the bus is gone every packet buffer and
// timer is back.
#include <cstdlib>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

#include "foundation/eventloop/Multiplexer.h"
#include "fuzz/Isdn.h"
#include "signalling/isdn/LapdNt.h"
#include "testing/Loop.h"

namespace {

using ISDN::LAPD;
using ISDN::LAPD_NT;
using ISDN::LAPD_NT_user;

// Frames written by the network reach every terminal, a terminal's the
// network. They wait in flight until delivered, a bounded number per step:
// the entities can keep answering each other, and a step must end.
class Bus {
public:
  struct End : GenericHDLC {
    explicit End(Bus& bus) : bus(bus) {}
    bool hdlc_transmit(Packet& frame) override { return bus.carry(*this, frame); }
    bool is_open() const override { return true; }
    bool is_ready() const override { return true; }

    Bus& bus;
    HDLC::Notify* listener = nullptr;
    // Frames sent from here that the bus loses: the next n, or all while cut.
    unsigned lose = 0;
    bool cut = false;
  };

  static constexpr unsigned inFlight = 256;
  static constexpr unsigned perStep = 64;

  explicit Bus(unsigned terminals) {
    for (unsigned i = 0; i <= terminals; ++i) ends.push_back(std::make_unique<End>(*this));
  }
  End& network() { return *ends.front(); }
  void deliver() {
    for (unsigned n = 0; !flight_.empty() && n < perStep; ++n) {
      auto [from, frame] = flight_.front();
      flight_.pop_front();
      for (auto& to : ends) {
        if (to.get() == from || (from != &network() && to.get() != &network())) continue;
        // Each receiver gets a buffer of its own, as from a read().
        Packet copy = frame.sub(frame.length(), 0);
        to->listener->on_hdlc_receive(copy);
      }
    }
  }
  void settle() {
    for (int i = 0; i < 16; ++i) deliver();
  }

  std::vector<std::unique_ptr<End>> ends;

private:
  bool carry(End& from, const Packet& frame) {
    Fuzz::sent(frame);
    const bool lost = from.cut || from.lose > 0;
    if (from.lose > 0) --from.lose;
    if (!lost && flight_.size() < inFlight) flight_.emplace_back(&from, frame);
    return true;
  }

  std::deque<std::pair<End*, Packet>> flight_;
};

constexpr unsigned terminals = 3;

struct Line {
  explicit Line(uint8_t mode) {
    std::srand(1);
    nt_owner.add_protocol_tail(&nt);
    nt.hdlc = &bus.network();
    bus.network().listener = &nt;
    nt.set_log(mode >> 2 & 3);
    for (unsigned i = 0; i < terminals; ++i) {
      LAPD* te = new LAPD(ISDN::Side::user, mode >> 4 & 3);
      te->trunk = i + 1;
      te->change_to_bri();
      te->hdlc = bus.ends[i + 1].get();
      bus.ends[i + 1]->listener = te;
      owners[i].add_protocol_tail(te);
      te->mdl_remove();
      tes.push_back(te);
    }
    nt.local_activate();
    if (mode % 4 == 2) bus.network().cut = true;
    for (LAPD* te : tes) te->local_activate();
    bus.settle();
    bus.network().cut = false;
    if (mode % 4 == 1) {
      cut_terminals(true);
      nt.check_all_Tei();
      bus.settle();
      cut_terminals(false);
    } else if (mode % 4 == 3) {
      cut_terminals(true);
      message(std::string("\x08\x01\x00\x07", 4));
      message(std::string("\x08\x01\x00\x7B", 4));
      bus.settle();
      cut_terminals(false);
    }
  }
  void cut_terminals(bool cut) {
    for (unsigned i = 1; i <= terminals; ++i) bus.ends[i]->cut = cut;
  }
  void message(const std::string& octets, Protocol& to) {
    Packet p;
    to.prepare_head(p);
    if (!octets.empty()) p.put(octets.data(), unsigned(octets.size()));
    to.message(p);
  }
  void message(const std::string& octets) { message(octets, nt); }
  void inject(Packet frame) { nt.on_hdlc_receive(frame); }
  void wait(unsigned ms) {
    clock.advance(ms);
    bus.deliver();
  }
  LAPD& te(unsigned i) { return *tes[i % terminals]; }

  Testing::PinnedClock clock;
  Bus bus{terminals};
  Fuzz::Owner nt_owner;
  Fuzz::Owner owners[terminals];
  LAPD_NT& nt = *new LAPD_NT;
  std::vector<LAPD*> tes;
};

bool started(Line& line, uint8_t mode) {
  const LAPD_NT_user& first = line.nt.user(0);
  switch (mode % 4) {
    case 0: return line.te(0).full_state().state == ISDN::MultipleFrameEstablished && first.state != first.unassigned;
    case 1: return first.check_pending;
    case 2: return line.te(0).full_state().state == ISDN::EstablishAwaitingTei && first.state != first.unassigned;
    default: return first.unacknowledged() > 0;
  }
}

const uint8_t unnumbered[] = {ISDN::Control::SABME, ISDN::Control::DISC, ISDN::Control::UA,  ISDN::Control::DM,
                              ISDN::Control::FRMR,  ISDN::Control::UI,   ISDN::Control::XID, ISDN::Control::SABME};
const uint8_t supervisory[] = {ISDN::Control::RR, ISDN::Control::RNR, ISDN::Control::REJ, ISDN::Control::RR};

// Frames from a terminal: C/R 0 on commands (Q.921 3.3.2).
void frame_to(Line& line, Fuzz::Steps& steps) {
  const uint8_t a = steps.octet();
  const uint8_t b = steps.octet();
  const LAPD_NT_user& u = line.nt.user(a & 7);
  const uint8_t tei = a & 8 ? uint8_t(b >> 1) : u.tei;
  const bool command = !(b & 1);
  switch (a >> 4 & 3) {
    case 0: {
      const unsigned ns = unsigned(u.vr) + (b & 2 ? 1 : 0);
      const unsigned nr = unsigned(u.acked) + (b >> 2 & 7);
      line.inject(Fuzz::frame(
          {ISDN::address1(0, !command), ISDN::address2(tei), uint8_t(ns << 1), uint8_t(nr << 1 | (a >> 6 & 1))},
          steps.octets(steps.octet())));
      break;
    }
    case 1: {
      const unsigned nr = b & 0x80 ? unsigned(u.vs) : unsigned(u.acked) + (b >> 2 & 7);
      line.inject(Fuzz::frame({ISDN::address1(0, !command), ISDN::address2(tei), supervisory[b >> 5 & 3],
                               uint8_t(nr << 1 | (a >> 6 & 1))}));
      break;
    }
    default: {
      const uint8_t control = uint8_t(unnumbered[b >> 2 & 7] | (a & 0x40 ? ISDN::Control::PF : 0));
      line.inject(Fuzz::frame({ISDN::address1(0, !command), ISDN::address2(tei), control},
                              a & 0x80 ? steps.octets(steps.octet()) : ""));
      break;
    }
  }
}

void tei_message(Line& line, Fuzz::Steps& steps) {
  const uint8_t a = steps.octet();
  const LAPD_NT_user& u = line.nt.user(a >> 3 & 7);
  const uint16_t ri = a & 0x40 ? steps.word() : u.ri;
  const uint8_t ai = a & 0x80 ? uint8_t(steps.octet() >> 1) : u.tei;
  line.inject(
      Fuzz::frame({ISDN::address1(ISDN::tei_management_sapi, false), ISDN::address2(ISDN::group_tei), ISDN::Control::UI,
                   ISDN::tei_management_entity, uint8_t(ri), uint8_t(ri >> 8), uint8_t(a & 7), uint8_t(ai << 1 | 1)}));
}

// A Q.931 message: the discriminator, one call reference octet, the type, the body.
std::string q931(Fuzz::Steps& steps, uint8_t call_ref) {
  const uint8_t type = steps.octet();
  return std::string{0x08, 0x01, char(call_ref), char(type)} + steps.octets(steps.octet());
}

void step(Line& line, Fuzz::Steps& steps) {
  switch (steps.octet() % 10) {
    case 0: line.inject(Fuzz::frame({}, steps.octets(steps.octet()))); break;
    case 1: frame_to(line, steps); break;
    case 2: tei_message(line, steps); break;
    case 3: {
      const uint8_t a = steps.octet();
      line.message(q931(steps, a & 8 ? a : line.nt.user(a & 7).call_ref | 0x80));
      break;
    }
    case 4: {
      const uint8_t a = steps.octet();
      line.message(q931(steps, a >> 2), line.te(a & 3));
      break;
    }
    case 5: line.wait(steps.octet() * 100u); break;
    case 6: line.bus.deliver(); break;
    case 7: {
      const uint8_t a = steps.octet();
      LAPD& te = line.te(a & 3);
      switch (a >> 2 & 3) {
        case 0: te.local_activate(); break;
        case 1: te.local_deactivate(); break;
        default: te.mdl_remove(); break;
      }
      break;
    }
    case 8: {
      const uint8_t a = steps.octet();
      Bus::End& end = *line.bus.ends[a % (terminals + 1)];
      if (a & 0x80)
        end.cut = !end.cut;
      else
        end.lose = a >> 4 & 7;
      break;
    }
    case 9:
      switch (steps.octet() % 3) {
        case 0: line.nt.local_deactivate(); break;
        case 1: line.nt.local_activate(); break;
        default: line.nt.check_all_Tei(); break;
      }
      break;
  }
}

void withinBounds(Line& line) {
  bool used[128] = {};
  for (unsigned i = 0; i < LAPD_NT::terminals; ++i) {
    const LAPD_NT_user& u = line.nt.user(i);
    Fuzz::expect(u.held() <= LAPD_NT_user::held_limit, "a link holds at most its limit of messages");
    Fuzz::expect(u.unacknowledged() <= LAPD_NT_user::window, "at most a window of frames unacknowledged");
    Fuzz::expect(u.state <= LAPD_NT_user::wait_answer, "a link's state is one of its three");
    if (u.state == LAPD_NT_user::unassigned) continue;
    Fuzz::expect(u.tei < ISDN::group_tei, "no link holds the group TEI");
    Fuzz::expect(!used[u.tei], "no two links share a TEI");
    used[u.tei] = true;
  }
  for (unsigned i = 0; i < terminals; ++i) Fuzz::withinBounds(line.te(i));
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
    Line line(data[0]);
    Fuzz::expect(started(line, data[0]), "the bus starts in the state asked for");
    Fuzz::Steps steps(data + 1, size - 1);
    while (steps.more()) {
      step(line, steps);
      withinBounds(line);
    }
    heap.within(2 * 1024 * 1024, 1024, size, "the bus");
  }
  Fuzz::expect(packet_pool().count() == 1024, "every packet buffer is back in the pool");
  Fuzz::expect(multiplexer.timer_count() == 0, "no timer is left armed");
  return 0;
}
