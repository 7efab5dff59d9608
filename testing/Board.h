#pragma once
// The simulated board from a test in the daemon's process: control lines and
// device journals as the tests compare them. For test programs that link the
// board (every one that runs a service or a model).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/sim/Sim.h"

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

}  // namespace Testing
