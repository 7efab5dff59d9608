#pragma once
// Services behind the controller server in this process, with one controller
// connected, on the simulated board and a loop clock pinned at the present.
// Messages are written and read in value notation (compared byte for byte
// through the generated classes); a golden script drives the services with
// messages, board lines and waits. For test programs that link the board and
// gw_testing_lgcp.

#include <sstream>
#include <string>
#include <vector>

#include "testing/Board.h"
#include "testing/Capture.h"
#include "testing/CtrlServerFixture.h"
#include "testing/Golden.h"
#include "testing/Lgcp.h"

namespace Testing {

class ServiceTest : public CtrlServerTest {
protected:
  using Lines = std::vector<std::string>;

  void SetUp() override {
    Board::Sim::reset();
    bind();
    CtrlServerTest::SetUp();
    c = connect();
    settle();
    logs.clear();
  }

  // Binds the services under test to the server (once for the test program), on the board at power-on.
  virtual void bind() {}

  // What arrives once the loop is quiet, in value notation.
  Lines settle() {
    c->frames.clear();
    EXPECT_TRUE(runUntilQuiet());
    return received();
  }

  // Sends a message in value notation; what arrives until the loop is quiet
  // and, for a command, its reply has come (or half a second has passed).
  Lines send(const std::string& message) {
    c->frames.clear();
    c->send(lgcp(message));
    runUntilQuiet();
    if (message.find("pdu command") != std::string::npos) {
      runUntil(
          [&] {
            c->pump();
            for (const std::string& f : c->frames) {
              if (notation(f).find("pdu response") != std::string::npos) return true;
            }
            return false;
          },
          500);
    }
    return received();
  }
  // A command without seq and slot, its alternative in value notation ("trunkCfg : { ... }").
  Lines command(const std::string& alternative) { return send("{ pdu command : " + alternative + " }"); }

  // Moves the pinned loop clock; what that sent.
  Lines advance(unsigned ms) {
    clock.advance(ms);
    return settle();
  }

  void disconnect() {
    c.reset();
    ASSERT_TRUE(runUntil([] { return firstProbe().disconnects == 1; }));
  }

  // What the services logged since the last look, one "| " line each: the
  // lines of the transport (which name the controller's port) and of the loop
  // left out.
  std::string logged() {
    std::istringstream lines(logs.take());
    std::string text;
    for (std::string line; std::getline(lines, line);) {
      bool theirs = false;
      for (const char* other : {"ctrl [", "control connection ", "Mux: terminating"}) {
        theirs |= line.rfind(other, 0) == 0;
      }
      if (!theirs) text += "| " + line + "\n";
    }
    return text;
  }

  // Runs a golden script (path from the source tree), each input through step().
  ::testing::AssertionResult script(const std::string& path) {
    return matchesScript(path, [this](const std::string& input) { return step(input); });
  }

  // One input of a script: a line starting with "{" is a message, one with
  // " : " a command alone, each answered by the frames that came; "wait MS"
  // moves the clock; "journal DEV" is answered by the device's journal
  // without the times, and empties it; any other is a line for the board,
  // answered by its reply and the frames that followed. Each answer ends with
  // what was logged meanwhile. A fixture adds inputs of its own here.
  virtual std::string step(const std::string& input) {
    Lines answer;
    if (input.rfind("{", 0) == 0) {
      answer = send(input);
    } else if (input.find(" : ") != std::string::npos) {
      answer = command(input);
    } else if (input.rfind("wait ", 0) == 0) {
      answer = advance(unsigned(std::stoul(input.substr(5))));
    } else if (input.rfind("journal ", 0) == 0) {
      answer = journal(input.substr(8));
    } else {
      answer = control(input);
      for (const std::string& frame : settle()) answer.push_back(frame);
    }
    std::string text;
    for (const std::string& line : answer) text += line + "\n";
    return text + logged();
  }

  PinnedClock clock{PinnedClock::Present};
  Capture logs{&std::cerr, &std::clog};
  std::unique_ptr<Controller> c;

private:
  Lines received() {
    c->pump();
    Lines texts;
    for (const std::string& f : c->frames) texts.push_back(notation(f));
    return texts;
  }
};

}  // namespace Testing
