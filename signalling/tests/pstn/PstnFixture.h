#pragma once
// PSTN signalling slots in this process, behind the controller server on the
// simulated board: the trunk factories (static objects), the bus map and the
// PSTN factories,
// the slot table bound once after the probes, a controller speaking value
// notation, the multichannel controller's channels as the line and the loop
// clock pinned, moved on by the test.
//
// A scenario is a transcript file: its steps, and under each step what
// followed it. Steps: "> SLOT COMMAND" a controller command in value
// notation, "$ LINE" a board control line, "T TYPE TRUNK STATE" a trunk
// status signal as the E1 and BRI services send it, "+ MS" the clock moved on
// in steps of 100 ms, "#" a comment. What followed: "L" log lines, "W" frames
// the channels wrote ("CH HEX"), "<" messages to the controller, "=" control
// replies. The test replays the steps and compares the whole transcript.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "board/sim/Sim.h"
#include "hardware/HwMux.h"
#include "server/slot/Slots.h"
#include "signalling/PstnSlot.h"
#include "slots/tdm/MapSlot.h"
#include "testing/Capture.h"
#include "testing/CtrlServerFixture.h"
#include "testing/Golden.h"
#include "testing/Lgcp.h"
#include "testing/Loop.h"

namespace pstn {

using Lines = std::vector<std::string>;
using Testing::cmd;
using Testing::NoSeq;
using Testing::ok;
using Testing::sig;

inline void setUpSlotKinds() {
  static bool done = false;
  if (done) return;
  done = true;
  Testing::bindProbesOnce();
  MapFactory::instance();
  PstnFactory::instance();
  HwMux::instance();
  CtrlSrv::ctrlServer.Bind(&Slots::instance());
}

// A control line's reply without its closing "OK" (which it must have).
inline Lines control(const std::string& line) {
  Lines lines = Board::Sim::control(line);
  EXPECT_FALSE(lines.empty()) << line;
  if (lines.empty() || lines.back() != "OK") {
    ADD_FAILURE() << line << ": " << (lines.empty() ? "no reply" : lines.back());
    return lines;
  }
  lines.pop_back();
  return lines;
}

class PstnTest : public Testing::CtrlServerTest {
protected:
  void SetUp() override {
    Board::Sim::reset();
    setUpSlotKinds();
    CtrlServerTest::SetUp();
    controller = connect();
  }
  void TearDown() override {
    controller.reset();
    Testing::runUntil([] { return Slots::instance().Live().empty(); });
    CtrlServerTest::TearDown();
  }

  // Sends a message and expects exactly these messages back, in order.
  void expect(const std::string& message, const Lines& replies) {
    Lines expected;
    for (const std::string& r : replies) expected.push_back(Testing::lgcp(r));
    EXPECT_TRUE(Testing::sameFrames(expected, exchange(*controller, Testing::lgcp(message), replies.size())))
        << "after " << message;
  }
  Testing::Capture logs{&std::cerr, &std::clog};
  std::unique_ptr<Testing::Controller> controller;
};

// The scenarios, on a loop clock pinned by the test.
class Transcript : public PstnTest {
protected:
  // Replays the steps of the transcript file and compares what followed each.
  void replay(const std::string& path) {
    std::ifstream in(std::string(std::getenv("GW_SOURCE_DIR")) + "/" + path);
    ASSERT_TRUE(in) << path;
    settle();
    std::string text;
    for (std::string line; std::getline(in, line);) {
      const char step = line.empty() ? '#' : line[0];
      if (std::string("#>$T+").find(step) == std::string::npos) continue;
      text += line + "\n";
      std::istringstream words(line.substr(std::min<size_t>(2, line.size())));
      if (step == '>') {
        long slot;
        std::string command;
        words >> slot >> std::ws;
        std::getline(words, command);
        controller->send(Testing::lgcp(cmd(NoSeq, slot, command)));
      } else if (step == '$') {
        for (const std::string& reply : Board::Sim::control(words.str())) {
          if (reply != "OK") text += "= " + reply + "\n";
        }
      } else if (step == 'T') {
        std::string type, state;
        int trunk = 0;
        LGCP::Signal sig;
        ACP::TrunkStatus& status = sig.select_trunkStatus();
        words >> type >> trunk >> state;
        status.set_trunk(trunk);
        status.get_type().setFromName(type);
        status.get_state().setFromName(state);
        Slots::instance().OnSignal(sig);
      } else if (step == '+') {
        unsigned ms = 0;
        for (words >> ms; ms; ms -= std::min(ms, 100u)) {
          clock.advance(std::min(ms, 100u));
          Testing::runFor(1);
        }
      }
      text += settle();
    }
    EXPECT_TRUE(Testing::matchesGolden(path, text));
  }

  Testing::PinnedClock clock{Testing::PinnedClock::Present};

private:
  // Runs the loop until nothing more happens; what did, as transcript lines.
  std::string settle() {
    std::string text;
    for (bool quiet = false; !quiet;) {
      Testing::runFor(5);
      controller->pump();
      const Lines frames = Board::Sim::control("mcc written");
      quiet = controller->frames.empty() && frames.size() - 1 == written_;
      std::istringstream lines(logs.take());
      for (std::string line; std::getline(lines, line);) {
        if (line == "Mux: terminating...") continue;
        text += "L " + line + "\n";
        quiet = false;
      }
      for (; written_ + 1 < frames.size(); ++written_) text += "W " + frames[written_] + "\n";
      for (const std::string& frame : controller->frames) text += "< " + Testing::notation(frame) + "\n";
      controller->frames.clear();
    }
    return text;
  }

  size_t written_ = 0;
};

}  // namespace pstn
