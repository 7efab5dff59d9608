// Control lines of the simulated board, one per input line, on a board
// reset before each input: every reply ends in "OK" or "ERR <why>", and the
// models' journals and tables take heap in proportion to the lines.
#include <sstream>
#include <string>

#include "board/sim/Sim.h"
#include "fuzz/Fuzz.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Fuzz::setUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Board::Sim::reset();
  Fuzz::HeapWatch heap;
  std::istringstream lines(Fuzz::text(data, size));
  for (std::string line; std::getline(lines, line);) {
    const std::vector<std::string> reply = Board::Sim::control(line);
    Fuzz::expect(!reply.empty(), "a line is answered");
    const std::string& last = reply.back();
    Fuzz::expect(last == "OK" || last.compare(0, 4, "ERR ") == 0, "the reply ends in OK or ERR");
  }
  heap.within(1024 * 1024, 1024, size, "the control lines");
  return 0;
}
