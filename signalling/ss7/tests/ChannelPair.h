#pragma once
// Two frame channels joined back to back in the process. A frame transmitted
// at one end stays in flight until deliver() hands it to the other end's
// listener, in the order sent, so two links never call into each other
// directly; each frame is logged in hex as it leaves. Two HDLC channels on
// the simulated multichannel controller can take this class's place: the
// tests use only transmit, deliver, inject and the ends' lose and blocked.

#include <deque>
#include <iostream>
#include <string>

#include "signalling/Hdlc.h"

namespace ss7test {

class ChannelPair {
public:
  struct End : GenericHDLC {
    End(ChannelPair& pair, char name) : pair(pair), name(name) {}
    bool hdlc_transmit(Packet& frame) override { return pair.transmit(*this, frame); }
    bool is_open() const override { return true; }
    bool is_ready() const override { return !blocked; }

    ChannelPair& pair;
    const char name;
    HDLC::Notify* notify = nullptr;
    // Writes fail, as on a full controller channel, until unblock().
    bool blocked = false;
    // Frames sent from here that the line loses: the next n, or all when negative.
    int lose = 0;
  };

  End a{*this, 'A'};
  End b{*this, 'B'};
  // Every frame in flight and every frame sent in answer, until the line is quiet.
  void deliver() {
    for (unsigned n = 0; !flight_.empty() && n < 100000; ++n) {
      auto [to, frame] = flight_.front();
      flight_.pop_front();
      to->notify->on_hdlc_receive(frame);
    }
  }
  void inject(End& to, const std::string& bytes) {
    Packet p;
    p.reserve_head(0);
    p.put(bytes.data(), unsigned(bytes.size()));
    std::clog << "> " << to.name << " " << p.text() << "\n";
    to.notify->on_hdlc_receive(p);
  }
  void unblock(End& end) {
    end.blocked = false;
    end.notify->on_hdlc_ready();
  }

private:
  bool transmit(End& from, const Packet& frame) {
    End& to = &from == &a ? b : a;
    const bool lost = !from.blocked && from.lose && (from.lose < 0 || from.lose--);
    std::clog << from.name << ">" << to.name << " " << frame.text()
              << (from.blocked ? " (refused)"
                  : lost       ? " (lost)"
                               : "")
              << "\n";
    // The receiver gets a buffer of its own, as from a read().
    if (!from.blocked && !lost) flight_.emplace_back(&to, frame.sub(frame.length(), 0));
    return !from.blocked;
  }

  std::deque<std::pair<End*, Packet>> flight_;
};

}  // namespace ss7test
