#pragma once
// A D channel for the tests: our Q.921 entities joined the way a BRI bus
// joins them, one network end and terminal ends. The entities see it only
// as GenericHDLC and HDLC::Notify, so a channel on the board's controller
// (or a socket to another protocol stack) takes its place unchanged. Every
// frame written goes to the log in hex with the loop time, so transcripts
// show the line as well as the entities.
//
// On Line::Board every end is a channel of the simulated multichannel
// controller: an end's frames are written on its channel's descriptor, and
// the bus hands each to the receiving channels through the controller, from
// whose descriptors the loop reads them for the entities.

#include <gtest/gtest.h>

#include <deque>
#include <iomanip>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "board/dev/Mcc.h"
#include "board/sim/Mcc.h"
#include "board/sim/Sim.h"
#include "foundation/eventloop/Clock.h"
#include "foundation/eventloop/Dpc.h"
#include "signalling/Hdlc.h"
#include "testing/Loop.h"

namespace isdn_test {

inline uint32_t start_ms = 0;
inline uint32_t now_ms() { return Mux::milliseconds() - start_ms; }

enum class Line { InProcess, Board };

// Frames written by the network end reach every terminal; frames written by
// a terminal reach the network. They cross on the main loop, in order.
class Bus {
public:
  class End : public GenericHDLC, public HDLC::Notify {
  public:
    End(Bus& bus, std::string name) : name(std::move(name)), bus_(bus) {}
    bool hdlc_transmit(Packet& frame) override {
      if (refusing || (channel && !channel->hdlc_transmit(frame))) return false;
      return bus_.carry(*this, frame);
    }
    bool is_open() const override { return true; }
    bool is_ready() const override { return !refusing; }
    // Writable again, as a channel reports it after a write that would block.
    void ready() {
      refusing = false;
      if (listener) listener->on_hdlc_ready();
    }

    // From the board's channel; its own readiness after activation is not the line's.
    void on_hdlc_receive(Packet& frame) override {
      --bus_.pending_;
      if (listener) listener->on_hdlc_receive(frame);
    }
    void on_hdlc_error(HDLC::Notify::Cause::Type cause) override {
      if (listener) listener->on_hdlc_error(cause);
    }
    void on_hdlc_ready() override {}

    const std::string name;
    HDLC::Notify* listener = nullptr;
    std::unique_ptr<HDLC> channel;
    // Refuses frames, as a full channel does.
    bool refusing = false;
    // The next frames this end writes that the line loses; cut loses all.
    unsigned lose = 0;
    bool cut = false;

  private:
    Bus& bus_;
  };

  explicit Bus(Line line = Line::InProcess) : line_(line) {
    delivery_.Bind(this, &Bus::deliver);
    if (line == Line::Board) Board::Sim::reset();
  }
  End& add(const std::string& name) {
    ends_.push_back(std::make_unique<End>(*this, name));
    End& end = *ends_.back();
    if (line_ == Line::Board) {
      end.channel = std::make_unique<HDLC>();
      end.channel->params.mode = 1;
      end.channel->params.tdm = int32_t(ends_.size());
      end.channel->notify = &end;
      EXPECT_TRUE(end.channel->activate());
    }
    return end;
  }
  bool board() const { return line_ == Line::Board; }
  // Runs the loop until the frames on their way through the board have been read.
  void drain() {
    if (!board() || (pending_ == 0 && queue_.empty())) return;
    EXPECT_TRUE(Testing::runUntil([this] { return pending_ == 0 && queue_.empty(); }));
  }
  std::vector<std::string> written;

private:
  struct Transit {
    End* from;
    Packet frame;
  };

  bool carry(End& from, Packet& frame) {
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
        if (board()) {
          pending_ += receive(*end, t.frame);
          continue;
        }
        Packet copy = t.frame;
        end->listener->on_hdlc_receive(copy);
      }
    }
    delivery_.Deactivate();
  }

  // Into the end's channel through the controller: its channels count from 256 in the order the ends came.
  static bool receive(const End& end, const Packet& frame) {
    const std::string bytes(reinterpret_cast<const char*>(frame.data()), frame.length());
    const int32_t channel = Board::Sim::Mcc::FirstChannel + end.channel->params.tdm - 1;
    return Board::Sim::with<Board::Sim::Mcc>(Board::Dev::Mcc::Path,
                                             [&](Board::Sim::Mcc& mcc) { return mcc.receive(channel, bytes); });
  }

  Line line_;
  std::vector<std::unique_ptr<End>> ends_;
  std::deque<Transit> queue_;
  Dpc delivery_;
  unsigned pending_ = 0;
};

}  // namespace isdn_test
