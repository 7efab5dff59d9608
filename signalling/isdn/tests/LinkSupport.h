#pragma once
// What the Q.921 tests share besides the bus: a stack owner that writes
// what reaches layer 3 into the log, and a fixture with the loop clock
// pinned and the log captured, so one transcript shows frames in hex, state
// changes and reports in the order they happened.

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/protocol/Protocol.h"
#include "signalling/isdn/tests/Bus.h"
#include "testing/Capture.h"
#include "testing/Golden.h"
#include "testing/Loop.h"

namespace isdn_test {

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

// The back-to-back suites run on both lines.
inline const auto lines = ::testing::Values(Line::InProcess, Line::Board);
inline std::string lineName(const ::testing::TestParamInfo<Line>& info) {
  return info.param == Line::Board ? "Board" : "InProcess";
}

class LinkTest : public ::testing::Test {
protected:
  explicit LinkTest(Line line = Line::InProcess) : bus(line) { start_ms = Mux::milliseconds(); }
  // Lets time pass in small steps, so frames cross between timer expiries.
  void elapse(unsigned ms) {
    for (unsigned step; ms > 0; ms -= step) {
      step = ms < 50 ? ms : 50;
      clock.advance(step);
      bus.drain();
    }
  }
  // Delivers the frames on their way.
  void settle() {
    clock.advance(0);
    bus.drain();
  }
  std::string transcript() const { return log.str(); }
  ::testing::AssertionResult golden(const std::string& name) const {
    if (!bus.board()) return Testing::matchesGolden("signalling/isdn/tests/golden/" + name + ".txt", log.str());
    // The switch's start and the loop's stops belong to the run, not to the line.
    std::istringstream in(log.str());
    std::string kept;
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("hwMux: ", 0) != 0 && line != "Mux: terminating...") kept += line + "\n";
    }
    return Testing::matchesGolden("signalling/isdn/tests/golden/" + name + "-board.txt", kept);
  }

  Testing::PinnedClock clock;
  Testing::Capture log{std::clog};
  Testing::Capture errors{std::cerr};
  Bus bus;
};

}  // namespace isdn_test
