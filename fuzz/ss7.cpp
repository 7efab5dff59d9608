// SS7 signal units into a live link: links A and B back to back, aligned and
// in service, then the input as a list of steps, each an octet naming it
// (modulo the count) and its arguments: a frame injected into A as from B,
// MSUs from either owner, the clock moving on, the line settling, channel
// and trunk events, a blocked or lossy line, A deactivated and activated.
// Afterwards A's retransmission buffer holds at most 127 units, and the
// packet buffers and timers all come back once the links are gone.
#include <deque>
#include <string>
#include <utility>

#include "foundation/eventloop/Multiplexer.h"
#include "fuzz/Fuzz.h"
#include "signalling/Hdlc.h"
#include "signalling/ss7/SLC.h"
#include "testing/Loop.h"

namespace {

// Two channel ends back to back. Frames wait in flight until delivered, a
// bounded number per step: two links can keep answering each other (an SIOS
// crossing an SIN makes both flap for ever), and a step must end.
class Line {
public:
  struct End : GenericHDLC {
    explicit End(Line& line) : line(line) {}
    bool hdlc_transmit(Packet& frame) override { return line.transmit(*this, frame); }
    bool is_open() const override { return true; }
    bool is_ready() const override { return !blocked; }

    Line& line;
    HDLC::Notify* notify = nullptr;
    bool blocked = false;
    // Frames sent from here that the line loses: the next n, or all when negative.
    int lose = 0;
  };

  static constexpr unsigned inFlight = 256;
  static constexpr unsigned perStep = 64;

  void deliver() {
    for (unsigned n = 0; !flight_.empty() && n < perStep; ++n) {
      auto [to, frame] = flight_.front();
      flight_.pop_front();
      to->notify->on_hdlc_receive(frame);
    }
  }
  void inject(End& to, const std::string& bytes) {
    Packet p;
    p.reserve_head(0);
    p.put(bytes.data(), unsigned(bytes.size()));
    to.notify->on_hdlc_receive(p);
  }
  void unblock(End& end) {
    end.blocked = false;
    end.notify->on_hdlc_ready();
  }

  End a{*this};
  End b{*this};

private:
  bool transmit(End& from, const Packet& frame) {
    End& to = &from == &a ? b : a;
    const bool lost = !from.blocked && from.lose && (from.lose < 0 || from.lose--);
    // The receiver gets a buffer of its own, as from a read().
    if (!from.blocked && !lost && flight_.size() < inFlight) flight_.emplace_back(&to, frame.sub(frame.length(), 0));
    return !from.blocked;
  }

  std::deque<std::pair<End*, Packet>> flight_;
};

class Owner : public ProtocolsFamily {
public:
  void on_message(Packet&) override {}
};

struct Pair {
  Pair() {
    join(a, line.a, 2, 1);
    join(b, line.b, 1, 2);
    a.local_activate();
    line.deliver();
    wait(SS7::SLC::T4n.ms);
  }
  void join(SS7::SLC& link, Line::End& end, uint32_t dpc, uint32_t trunk) {
    (&link == &a ? ownerA : ownerB).add_protocol_tail(&link);
    link.params.dpc = dpc;
    link.params.trunk = trunk;
    link.set_channel(&end);
    end.notify = &link;
    link.log = {true, true, true, true, true, true, true, true};
  }
  void wait(unsigned ms) {
    clock.advance(ms);
    line.deliver();
  }
  void send(SS7::SLC& link, unsigned length) {
    Packet p;
    link.prepare_head(p);
    for (unsigned i = 0; i < length; ++i) p.put(uint8_t(i ? i : 0x83));
    link.message(p);
  }

  Testing::PinnedClock clock;
  Line line;
  Owner ownerA;
  Owner ownerB;
  SS7::SLC& a = *new SS7::SLC;
  SS7::SLC& b = *new SS7::SLC;
};

// 0..127 and 153..280 from one octet: the shortest units, LI 62 and 63, the
// longest MSU and beyond.
unsigned length(uint8_t octet) { return octet < 0x80 ? octet : octet + 25u; }

void run(Pair& pair, Fuzz::Steps& steps) {
  while (steps.more()) {
    switch (steps.octet() % 10) {
      case 0: pair.line.inject(pair.line.a, steps.octets(length(steps.octet()))); break;
      case 1: pair.send(pair.a, length(steps.octet())); break;
      case 2: pair.send(pair.b, steps.octet()); break;
      case 3: pair.wait(steps.octet() * 100u); break;
      case 4: pair.line.deliver(); break;
      case 5: pair.a.on_hdlc_error(HDLC::Notify::Cause::receiveFailure); break;
      case 6: pair.a.OnTrunkHardStatus(steps.octet() & 1); break;
      case 7:
        if (pair.line.a.blocked)
          pair.line.unblock(pair.line.a);
        else
          pair.line.a.blocked = true;
        break;
      case 8: pair.line.b.lose = int8_t(steps.octet()) % 4; break;
      case 9:
        if (steps.octet() & 1)
          pair.a.local_activate();
        else
          pair.a.local_deactivate();
        break;
    }
  }
  pair.wait(0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Fuzz::setUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    Fuzz::HeapWatch heap;
    Pair pair;
    Fuzz::expect(pair.a.get_state_id() == SS7::SLC::State::inService, "the links come into service");
    Fuzz::Steps steps(data, size);
    run(pair, steps);
    Fuzz::expect(pair.a.statistics().rtbSize <= unsigned(SS7::SLC::RtbLimit), "at most 127 units unacknowledged");
    heap.within(1024 * 1024, 1024, size, "the links");
  }
  Fuzz::expect(packet_pool().count() == 1024, "every packet buffer is back in the pool");
  Fuzz::expect(multiplexer.timer_count() == 0, "no timer is left armed");
  return 0;
}
