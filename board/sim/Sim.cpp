#include "board/sim/Sim.h"

#include "board/sim/Commands.h"

namespace Board {
namespace Sim {

void install(std::unique_ptr<Device> device) {
  Registry& board = Registry::instance();
  std::lock_guard<std::mutex> guard(board.mutex());
  board.add(std::move(device));
}

std::vector<std::string> control(const std::string& line) {
  Registry& board = Registry::instance();
  std::lock_guard<std::mutex> guard(board.mutex());
  return Commands(board).run(line, -1).reply.text();
}

void reset() {
  Registry& board = Registry::instance();
  std::lock_guard<std::mutex> guard(board.mutex());
  board.reset();
}

}  // namespace Sim
}  // namespace Board
