#pragma once
// The control line protocol: one command line in, reply lines out, the
// last one "OK" or "ERR <why>". Board commands act on any device; every
// model adds its own commands, reached as "<model name> <command> ...".

#include "board/sim/Device.h"

#include <string>
#include <vector>

namespace Board {
namespace Sim {

class Registry;

using Words = std::vector<std::string>;

class Commands {
public:
  explicit Commands(Registry& board) : board_(board) {}

  struct Outcome {
    Reply reply;
    // Set by "follow": after the reply, the connection carries this device's lines.
    Device* follow = nullptr;
  };

  // Runs one line with the board locked. `connection` is the control
  // connection it came on, -1 when it came from inside the process.
  Outcome run(const std::string& line, int connection);

  static Words split(const std::string& line);

private:
  Registry& board_;
};

}  // namespace Sim
}  // namespace Board
