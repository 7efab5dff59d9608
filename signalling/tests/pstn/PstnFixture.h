#pragma once
// PSTN signalling slots in this process behind the controller server, on the
// simulated board: the trunk, bus map and PSTN factories, the slot table bound
// once after the probes, and a controller speaking value notation.
//
// A scenario is a transcript file of steps, each followed by what it caused.
// Steps: "> SLOT COMMAND" from the controller, "$ LINE" to the board's control
// socket, "T TYPE TRUNK STATE" a trunk status as the E1 and BRI services send
// it, "+ MS" the pinned loop clock moved on in steps of 100 ms, "#" a comment.
// Caused: "L" log lines, "W CH HEX" frames the channels wrote, "<" messages to
// the controller, "=" control replies. The test replays the steps and compares.

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

namespace pstn {

using Testing::cmd;
using Testing::NoSeq;

class PstnTest : public Testing::CtrlServerTest {
protected:
  void SetUp() override {
    static const bool bound = [] {
      Testing::bindProbesOnce();
      MapFactory::instance();
      PstnFactory::instance();
      HwMux::instance();
      return CtrlSrv::ctrlServer.Bind(&Slots::instance()), true;
    }();
    (void)bound;
    Board::Sim::reset();
    CtrlServerTest::SetUp();
    controller = connect();
  }
  void TearDown() override {
    controller.reset();
    Testing::runUntil([] { return Slots::instance().Live().empty(); });
    CtrlServerTest::TearDown();
  }

  void replay(const std::string& path) {
    Testing::PinnedClock clock{Testing::PinnedClock::Present};
    std::ifstream in(std::string(std::getenv("GW_SOURCE_DIR")) + "/" + path);
    std::string text, line;
    for (settle(); std::getline(in, line);) {
      std::istringstream words(line.size() > 2 ? line.substr(2) : "");
      const char step = line.empty() ? '#' : line[0];
      if (std::string("#>$T+").find(step) == std::string::npos) continue;
      text += line + "\n";
      std::string a, b, c;
      if (step == '>' && std::getline(words >> a >> std::ws, b)) {
        controller->send(Testing::lgcp(cmd(NoSeq, std::stol(a), b)));
      }
      if (step == '$') {
        for (const std::string& reply : Board::Sim::control(words.str())) {
          text += reply == "OK" ? "" : "= " + reply + "\n";
        }
      }
      if (step == 'T' && words >> a >> b >> c) {
        LGCP::Signal sig;
        ACP::TrunkStatus& status = sig.select_trunkStatus();
        status.get_type().setFromName(a);
        status.set_trunk(std::stoi(b));
        status.get_state().setFromName(c);
        Slots::instance().OnSignal(sig);
      }
      for (unsigned ms = step == '+' ? std::stoul(words.str()) : 0; ms; ms -= std::min(ms, 100u)) {
        clock.advance(std::min(ms, 100u));
        Testing::runFor(1);
      }
      text += settle();
    }
    EXPECT_TRUE(Testing::matchesGolden(path, text));
  }

  Testing::Capture logs{&std::cerr, &std::clog};
  std::unique_ptr<Testing::Controller> controller;

private:
  // Runs the loop until nothing more happens; what did, as transcript lines.
  std::string settle() {
    std::string text;
    for (size_t before = std::string::npos; before != text.size();) {
      before = text.size();
      Testing::runFor(5);
      controller->pump();
      std::istringstream lines(logs.take());
      for (std::string line; std::getline(lines, line);) {
        text += line == "Mux: terminating..." ? "" : "L " + line + "\n";
      }
      const std::vector<std::string> frames = Board::Sim::control("mcc written");
      for (; written_ + 1 < frames.size(); ++written_) text += "W " + frames[written_] + "\n";
      for (const std::string& frame : controller->frames) text += "< " + Testing::notation(frame) + "\n";
      controller->frames.clear();
    }
    return text;
  }

  size_t written_ = 0;
};

}  // namespace pstn
