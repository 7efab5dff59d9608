#pragma once
// What the Q.921 tests share: a D channel joining our entities the way a
// BRI bus does (one network end, terminal ends), a stack owner that writes
// what reaches layer 3 into the log, and a fixture with the loop clock
// pinned and the log captured, so one transcript shows frames in hex, state
// changes and reports in the order they happened.
//
// The entities see the bus only as GenericHDLC and HDLC::Notify: a channel
// on the board's controller takes its place unchanged.

#include <gtest/gtest.h>

#include <deque>
#include <iomanip>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/eventloop/Dpc.h"
#include "foundation/protocol/Protocol.h"
#include "foundation/protocol/tests/Harness.h"
#include "signalling/Hdlc.h"
#include "testing/Golden.h"

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

// The owner of one entity: what comes up from it goes to the log.
class Upper : public ProtocolsFamily {
public:
  explicit Upper(std::string name) : name_(std::move(name)) {}
  void on_activated(Protocol*) override {
    ++established;
    std::clog << name_ << ": established" << std::endl;
  }
  void on_deactivated(Protocol*, Protocol_status status) override {
    releases.push_back(status->message());
    std::clog << name_ << ": released, " << status->message() << std::endl;
  }
  void on_status(Protocol_status status) override {
    std::ostringstream text;
    status->out(text);
    dump = text.str();
    reports.push_back(status->message());
    std::clog << name_ << ": " << status->message() << std::endl;
  }
  void on_message(Packet& p) override {
    received.push_back(p.text());
    std::clog << name_ << ": layer 3 " << p.text() << std::endl;
  }
  // Hands a layer-3 message down, with the headroom the stack asks for.
  void send(const std::vector<uint8_t>& bytes) {
    Packet p;
    prepare_head(p);
    p.put(bytes.data(), unsigned(bytes.size()));
    message(p);
  }

  int established = 0;
  std::vector<std::string> releases;
  std::vector<std::string> reports;
  // The last report as its status object writes itself.
  std::string dump;
  std::vector<std::string> received;

private:
  std::string name_;
};

class LinkTest : public ::testing::Test {
protected:
  LinkTest() { start_ms = Mux::milliseconds(); }
  // Lets time pass in small steps, so frames cross between timer expiries.
  void elapse(unsigned ms) {
    for (unsigned step; ms > 0; ms -= step) {
      step = ms < 50 ? ms : 50;
      clock.advance(step);
    }
  }
  // Delivers the frames on their way.
  void settle() { clock.advance(0); }
  std::string transcript() const { return log.str(); }
  ::testing::AssertionResult golden(const std::string& name) const {
    return Testing::matchesGolden("signalling/isdn/tests/golden/" + name + ".txt", log.str());
  }

  harness::PinnedClock clock;
  harness::Capture log{std::clog};
  harness::Capture errors{std::cerr};
  Bus bus;
};

}  // namespace isdn_test
