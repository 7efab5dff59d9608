#pragma once
// The tone and DSP receiver services in this process, on the simulated
// "/dev/dtmf" and "/dev/dsp": receivers that record what reaches them,
// the requests the devices took (their journals, without the times), and
// both log streams captured.

#include <gtest/gtest.h>
#include <poll.h>

#include <sstream>
#include <string>
#include <vector>

#include "board/sim/Dsp.h"
#include "board/sim/Dtmf.h"
#include "board/sim/Sim.h"
#include "hardware/DSProcReceiverService.h"
#include "hardware/TonecReceiverService.h"
#include "testing/Capture.h"
#include "testing/Loop.h"

namespace rx {

using Lines = std::vector<std::string>;

using Testing::count;
// Standard error and the log stream together, in the order of their writes.
class Logs : public Testing::Capture {
public:
  Logs() : Capture({&std::cerr, &std::clog}) {}
};

// Pinned at the present, so the services' timers armed before keep their places.
class PinnedClock : public Testing::PinnedClock {
public:
  PinnedClock() : Testing::PinnedClock(Present) {}
};

// A model's request journal without the times; the journal is emptied.
template <class Model>
Lines requests(const char* name) {
  return Board::Sim::with<Model>(name, [](Model& d) {
    Lines texts = d.journal().texts();
    d.clearJournal();
    return texts;
  });
}
inline Lines dtmfRequests() { return requests<Board::Sim::Dtmf>("dtmf"); }
inline Lines dspRequests() { return requests<Board::Sim::Dsp>("dsp"); }

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
