#pragma once
// The simulated board from a test in the daemon's process: control lines and
// device journals as the tests compare them. For test programs that link the
// board (every one that runs a service or a model).

#include <gtest/gtest.h>
#include <poll.h>

#include <string>
#include <vector>

#include "board/Board.h"
#include "board/sim/Sim.h"
#include "foundation/eventloop/Multiplexer.h"
#include "testing/Loop.h"

namespace Testing {

// A control line's reply without its closing "OK" (which it must have).
inline std::vector<std::string> control(const std::string& line) {
  std::vector<std::string> lines = Board::Sim::control(line);
  EXPECT_TRUE(!lines.empty() && lines.back() == "OK") << line << ": " << (lines.empty() ? "" : lines.back());
  if (!lines.empty()) lines.pop_back();
  return lines;
}

// A control line's whole reply, one line each, as a golden script shows it.
inline std::string reply(const std::string& line) {
  std::string text;
  for (const std::string& l : Board::Sim::control(line)) text += l + "\n";
  return text;
}

// A device's journal without the times; the journal is emptied.
inline std::vector<std::string> journal(const std::string& device) {
  std::vector<std::string> texts;
  for (const std::string& line : control(device + " journal")) texts.push_back(line.substr(line.find(' ') + 1));
  control(device + " clear");
  return texts;
}

// Runs the main loop, polling without waiting, until a pass finds no
// descriptor ready: every device read, every frame it caused sent.
inline bool runUntilQuiet() {
  static bool idle;
  idle = false;
  multiplexer.set_poll([](pollfd* fds, nfds_t count, int) {
    const int ready = Board::poll(fds, count, 0);
    if (ready == 0) idle = true;
    return ready;
  });
  const bool done = runUntil([] { return idle; });
  multiplexer.set_poll(nullptr);
  return done;
}

}  // namespace Testing
