#pragma once
// The tone and DSP receiver services in this process, on the simulated
// "/dev/dtmf" and "/dev/dsp": receivers that record what reaches them, and a
// transcript of each test for its golden file: every step with its result,
// then the requests the devices took (their journals, without the times) and
// the lines logged on standard error and the log stream, in order.

#include <gtest/gtest.h>
#include <poll.h>

#include <sstream>
#include <string>
#include <vector>

#include "foundation/config/TraceCtl.h"
#include "hardware/DSProcReceiverService.h"
#include "hardware/TonecReceiverService.h"
#include "testing/Board.h"
#include "testing/Capture.h"
#include "testing/Golden.h"
#include "testing/Loop.h"

namespace rx {

using Lines = std::vector<std::string>;

class Tonec : public Hardware::TonecReceiver {
public:
  explicit Tonec(unsigned timeslot) : timeslot(timeslot) {}
  ~Tonec() override { CleanBeforeDestroy(); }
  void tonec_event(const Board::Dev::Dtmf::EventReport& e) override { events.push_back({e.code, e.timestamp}); }
  unsigned tonec_timeslot() const override { return timeslot; }
  void tone_gen_complete() override { ++completes; }

  unsigned timeslot;
  std::vector<std::pair<uint32_t, uint32_t>> events;
  int completes = 0;
};

class Dsp : public Hardware::DSProcReceiver {
public:
  explicit Dsp(unsigned timeslot) : timeslot(timeslot) {}
  void dsproc_vad_event(const Board::Dev::Dsp::VadReport& e) override {
    events.push_back("vad " + std::to_string(e.rx) + " " + std::to_string(e.tx));
  }
  void dsproc_bss_event(const Board::Dev::Dsp::BssReport* e) override {
    std::ostringstream text;
    text << "bss " << e->score;
    events.push_back(text.str());
  }
  void dsproc_sd_event(const Board::Dev::Dsp::SdReport& e) override {
    events.push_back("sd " + std::to_string(e.value));
  }
  void dsproc_tone_flt_event(const Board::Dev::Dsp::ToneReport* e) override {
    events.push_back("tone " + std::to_string(e->frequency) + " " + std::to_string(e->presence));
  }
  void dsproc_flags_event(const Board::Dev::Dsp::FlagsReport* e) override {
    events.push_back("flags " + std::to_string(e->flags) + " " + std::to_string(e->mask));
  }
  unsigned dsproc_timeslot() const override { return timeslot; }

  unsigned timeslot;
  Lines events;
};

inline Hardware::TonecReceiverService& tonec() { return Hardware::TonecReceiverService::instance(); }
inline Hardware::DSProcReceiverService& dsproc() { return Hardware::DSProcReceiverService::instance(); }

// The board at power-on, both services open with their detector ids counted
// from 100, event traces off, the loop clock pinned at the present.
class ReceiverTest : public ::testing::Test {
protected:
  void SetUp() override {
    Board::Sim::reset();
    ASSERT_TRUE(tonec().IsOpened());
    ASSERT_TRUE(dsproc().IsOpened());
    tonec().ids().restart(100);
    dsproc().ids().restart(100);
    traces.signalling_events = false;
    flush();
    text.clear();
  }
  void TearDown() override { traces.signalling_events = false; }

  // A step and what came of it; a false result shows.
  void step(const std::string& what, bool result = true) {
    text += "> " + what + (result ? "\n" : ": false\n");
    flush();
  }
  void advance(unsigned ms) {
    clock.advance(ms);
    text += "-- " + std::to_string(ms) + " ms\n";
    flush();
  }
  // A control line for the board and its answer; a service's read pass as the loop would run it.
  void board(const std::string& line) {
    text += "> " + line + "\n";
    for (const std::string& reply : Testing::control(line)) text += reply + "\n";
    flush();
  }
  template <class Service>
  void readPass(Service& service, short revents = POLLIN) {
    service.OnEvent(service.fd().get(), revents);
    step("read pass");
  }
  ::testing::AssertionResult golden(const std::string& name) {
    flush();
    return Testing::matchesGolden("hardware/tests/golden/" + name + ".txt", text);
  }

  Testing::PinnedClock clock{Testing::PinnedClock::Present};
  Testing::Capture logs{&std::cerr, &std::clog};
  std::string text;

private:
  void flush() {
    for (const std::string& r : Testing::journal("dtmf")) text += "dtmf: " + r + "\n";
    for (const std::string& r : Testing::journal("dsp")) text += "dsp: " + r + "\n";
    std::istringstream lines(logs.take());
    // Other services' timers (the E1 poll outlives its controller) run as the
    // clock moves; what the controller server logs of their sends is not ours.
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("ctrl [", 0) != 0) text += "| " + line + "\n";
    }
  }
};

}  // namespace rx
