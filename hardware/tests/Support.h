#pragma once
// The board's control services in this process, bound after the controller
// server fixture's heartbeat and probes, on the simulated board and a loop
// clock pinned at the present. Commands and frames are written in value
// notation and compared byte for byte through the generated classes; a
// golden script drives a service with commands and board lines.

#include <string>
#include <vector>

#include "hardware/BusCtl.h"
#include "hardware/E1Ctl.h"
#include "hardware/HwTests.h"
#include "hardware/spiCtrl.h"
#include "testing/Board.h"
#include "testing/Capture.h"
#include "testing/CtrlServerFixture.h"
#include "testing/Golden.h"
#include "testing/Lgcp.h"

namespace hw {

using Lines = std::vector<std::string>;
using Testing::control;

const std::string success = "{ pdu response : success : NULL }";

// A command from its alternative in value notation, for a service called directly.
inline LGCP::Command commandOf(const std::string& notation) {
  LGCP::Message msg;
  EXPECT_TRUE(msg.setFromValueNotation("{ pdu command : " + notation + " }")) << notation;
  return msg.get_pdu().get_command();
}

// The frames that contain `what` ("type bri"), in order.
inline Lines only(const Lines& frames, const std::string& what) {
  Lines picked;
  for (const std::string& f : frames) {
    if (f.find(what) != std::string::npos) picked.push_back(f);
  }
  return picked;
}

inline void bindServices() {
  Testing::bindProbesOnce();
  static bool bound = false;
  if (bound) return;
  bound = true;
  CtrlSrv::ctrlServer.Bind(&HwTests::instance());
  CtrlSrv::ctrlServer.Bind(&BusCtl::instance());
  CtrlSrv::ctrlServer.Bind(&E1Ctl::instance());
  CtrlSrv::ctrlServer.Bind(&spiCtrl::instance());
}

class ServiceTest : public Testing::CtrlServerTest {
protected:
  void SetUp() override {
    Board::Sim::reset();
    bindServices();
    CtrlServerTest::SetUp();
    c = connect();
    settle();
    logs.clear();
  }

  // What arrives once the loop is quiet, in value notation.
  Lines settle() {
    c->frames.clear();
    EXPECT_TRUE(Testing::runUntilQuiet());
    return received();
  }

  // Sends a command (its alternative in value notation, "trunkCfg : { ... }");
  // every frame up to its reply, the reply included.
  Lines command(const std::string& notation) {
    c->frames.clear();
    c->send(Testing::lgcp("{ pdu command : " + notation + " }"));
    Testing::runUntil([&] {
      c->pump();
      return !c->frames.empty() && Testing::notation(c->frames.back()).find("pdu response") != std::string::npos;
    });
    return received();
  }

  // Moves the pinned loop clock; what that sent.
  Lines advance(unsigned ms) {
    clock.advance(ms);
    return settle();
  }

  void disconnect() {
    c.reset();
    ASSERT_TRUE(Testing::runUntil([] { return Testing::firstProbe().disconnects == 1; }));
  }

  // What the services logged since the last look, one "| " line each: the
  // lines of the transport (which name the controller's port) and of the loop
  // left out.
  std::string logged() {
    std::istringstream lines(logs.take());
    std::string text;
    for (std::string line; std::getline(lines, line);) {
      bool theirs = false;
      for (const char* other : {"ctrl [", "control connection ", "Mux: terminating"}) theirs |= line.rfind(other, 0) == 0;
      if (!theirs) text += "| " + line + "\n";
    }
    return text;
  }

  // Runs golden/<name>.txt: a line with " : " is a command, answered by its
  // frames; "wait MS" moves the clock; any other is a line for the board,
  // answered by its reply. Each answer ends with the frames that followed
  // and what was logged meanwhile.
  ::testing::AssertionResult script(const std::string& name) {
    return Testing::matchesScript("hardware/tests/golden/" + name + ".txt", [this](const std::string& input) {
      Lines answer;
      if (input.find(" : ") != std::string::npos) {
        answer = command(input);
      } else if (input.rfind("wait ", 0) == 0) {
        answer = advance(unsigned(std::stoul(input.substr(5))));
      } else {
        answer = control(input);
        for (const std::string& frame : settle()) answer.push_back(frame);
      }
      std::string text;
      for (const std::string& line : answer) text += line + "\n";
      return text + logged();
    });
  }

  Testing::PinnedClock clock{Testing::PinnedClock::Present};
  Testing::Capture logs{&std::cerr, &std::clog};
  std::unique_ptr<Testing::Controller> c;

private:
  Lines received() {
    c->pump();
    Lines texts;
    for (const std::string& f : c->frames) texts.push_back(Testing::notation(f));
    return texts;
  }
};

}  // namespace hw
