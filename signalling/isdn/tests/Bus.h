#pragma once
// A D channel for the tests: our Q.921 entities joined the way a BRI bus
// joins them, one network end and terminal ends. The entities see it only
// as GenericHDLC and HDLC::Notify, so a channel on the board's controller
// (or a socket to another protocol stack) takes its place unchanged. Every
// frame written goes to the log in hex with the loop time, so transcripts
// show the line as well as the entities.

#include <gtest/gtest.h>

#include <deque>
#include <iomanip>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "foundation/eventloop/Clock.h"
#include "foundation/eventloop/Dpc.h"
#include "signalling/Hdlc.h"

namespace isdn_test {

inline uint32_t start_ms = 0;
inline uint32_t now_ms() { return Mux::milliseconds() - start_ms; }

// Frames written by the network end reach every terminal; frames written by
// a terminal reach the network. They cross on the main loop, in order.
class Bus {
public:
  class End : public GenericHDLC {
  public:
    End(Bus& bus, std::string name) : name(std::move(name)), bus_(bus) {}
    bool hdlc_transmit(Packet& frame) override { return bus_.carry(*this, frame); }
    bool is_open() const override { return true; }
    bool is_ready() const override { return !refusing; }
    // Writable again, as a channel reports it after a write that would block.
    void ready() {
      refusing = false;
      if (listener) listener->on_hdlc_ready();
    }

    const std::string name;
    HDLC::Notify* listener = nullptr;
    // Refuses frames, as a full channel does.
    bool refusing = false;
    // The next frames this end writes that the line loses; cut loses all.
    unsigned lose = 0;
    bool cut = false;

  private:
    Bus& bus_;
  };

  Bus() { delivery_.Bind(this, &Bus::deliver); }
  End& add(const std::string& name) {
    ends_.push_back(std::make_unique<End>(*this, name));
    return *ends_.back();
  }
  std::vector<std::string> written;

private:
  struct Transit {
    End* from;
    Packet frame;
  };

  bool carry(End& from, Packet& frame) {
    if (from.refusing) return false;
    const bool lost = from.cut || from.lose > 0;
    if (from.lose > 0) --from.lose;
    std::clog << "[" << std::setw(6) << now_ms() << "] " << from.name << (lost ? " x " : " > ") << frame.text()
              << std::endl;
    written.push_back(from.name + " " + frame.text());
    if (!lost) {
      queue_.push_back({&from, frame});
      delivery_.Activate();
    }
    return true;
  }
  void deliver() {
    for (unsigned n = 0; !queue_.empty(); ++n) {
      if (n == 100000) {
        ADD_FAILURE() << "frames keep crossing without time passing";
        queue_.clear();
        break;
      }
      Transit t = queue_.front();
      queue_.pop_front();
      const End* network = ends_.front().get();
      for (auto& end : ends_) {
        if (end.get() == t.from || (t.from != network && end.get() != network) || !end->listener) continue;
        Packet copy = t.frame;
        end->listener->on_hdlc_receive(copy);
      }
    }
    delivery_.Deactivate();
  }

  std::vector<std::unique_ptr<End>> ends_;
  std::deque<Transit> queue_;
  Dpc delivery_;
};

}  // namespace isdn_test
