#pragma once
// The tone and DSP receiver services in this process, on the simulated
// "/dev/dtmf" and "/dev/dsp": receivers that record what reaches them,
// the requests the devices took (their journals, without the times), and
// both log streams captured.

#include <gtest/gtest.h>
#include <poll.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "board/sim/Dsp.h"
#include "board/sim/Dtmf.h"
#include "board/sim/Sim.h"
#include "foundation/eventloop/Clock.h"
#include "foundation/eventloop/Multiplexer.h"
#include "hardware/DSProcReceiverService.h"
#include "hardware/TonecReceiverService.h"

namespace rx {

using Lines = std::vector<std::string>;

// Standard error and the log stream, captured together in write order.
class Logs {
public:
  Logs() : err_(std::cerr.rdbuf(text_.rdbuf())), log_(std::clog.rdbuf(text_.rdbuf())) {}
  ~Logs() {
    std::cerr.rdbuf(err_);
    std::clog.rdbuf(log_);
  }
  std::string take() {
    const std::string s = text_.str();
    text_.str("");
    return s;
  }

private:
  std::ostringstream text_;
  std::streambuf* err_;
  std::streambuf* log_;
};

inline Lines dtmfRequests() {
  return Board::Sim::with<Board::Sim::Dtmf>("dtmf", [](Board::Sim::Dtmf& d) {
    Lines texts = d.journal().texts();
    d.clearJournal();
    return texts;
  });
}

inline Lines dspRequests() {
  return Board::Sim::with<Board::Sim::Dsp>("dsp", [](Board::Sim::Dsp& d) {
    Lines texts = d.journal().texts();
    d.clearJournal();
    return texts;
  });
}

inline size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Pins the loop clock; advance() moves it and fires the timers that fell due.
class PinnedClock {
public:
  PinnedClock() { Mux::mux_settimeofday(); }
  ~PinnedClock() { Mux::mux_cleartimeofday(); }
  void advance(unsigned ms) {
    const int64_t us = int64_t(Mux::g_tv_time.tv_sec) * 1000000 + Mux::g_tv_time.tv_usec + int64_t(ms) * 1000;
    Mux::g_tv_time.tv_sec = decltype(Mux::g_tv_time.tv_sec)(us / 1000000);
    Mux::g_tv_time.tv_usec = decltype(Mux::g_tv_time.tv_usec)(us % 1000000);
    multiplexer.timers_schedule();
  }
};

// Runs the service's read pass as the loop would on input.
template <class Service>
void readPass(Service& service, short revents = POLLIN) {
  service.OnEvent(service.fd().get(), revents);
}

class Tonec : public Hardware::TonecReceiver {
public:
  explicit Tonec(unsigned timeslot) : timeslot(timeslot) {}
  ~Tonec() override { CleanBeforeDestroy(); }
  void tonec_event(const Params& e) override { events.push_back({e.code, e.timestamp}); }
  unsigned tonec_timeslot() const override { return timeslot; }
  void tone_gen_complete() override { ++completes; }

  unsigned timeslot;
  std::vector<std::pair<uint32_t, uint32_t>> events;
  int completes = 0;
};

class Dsp : public Hardware::DSProcReceiver {
public:
  explicit Dsp(unsigned timeslot) : timeslot(timeslot) {}
  void dsproc_vad_event(const Hardware::DSProcVADEvent& e) override {
    events.push_back("vad " + std::to_string(e.rx) + " " + std::to_string(e.tx));
  }
  void dsproc_bss_event(const ::dsproc_bss_event* e) override {
    std::ostringstream text;
    text << "bss " << e->score;
    events.push_back(text.str());
  }
  void dsproc_sd_event(const Hardware::DSProcSDEvent& e) override { events.push_back("sd " + std::to_string(e.value)); }
  void dsproc_tone_flt_event(const ::dsproc_tone_event* e) override {
    events.push_back("tone " + std::to_string(e->frequency) + " " + std::to_string(e->presence));
  }
  void dsproc_flags_event(const ::dsproc_flags_event* e) override {
    events.push_back("flags " + std::to_string(e->flags) + " " + std::to_string(e->mask));
  }
  unsigned dsproc_timeslot() const override { return timeslot; }

  unsigned timeslot;
  Lines events;
};

}  // namespace rx
