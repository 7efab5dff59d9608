#pragma once
// The simulated board as tests inside the daemon's process reach it. The
// models are shared with the control thread: reach them only through these.

#include "board/sim/Device.h"
#include "board/sim/Registry.h"

#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace Board {
namespace Sim {

// Runs `fn` on the model of type M at `path` (or of that name), with the board locked.
template <class M, class F>
auto with(const std::string& path, F fn) -> decltype(fn(std::declval<M&>())) {
  Registry& board = Registry::instance();
  std::lock_guard<std::mutex> guard(board.mutex());
  board.sweep();
  M* model = dynamic_cast<M*>(board.find(path));
  if (!model) throw std::invalid_argument("no such simulated device: " + path);
  return fn(*model);
}

// Adds a model to the board (one at the same path is replaced).
void install(std::unique_ptr<Device> device);

// Runs one control line as the control socket would; the reply lines, the
// closing "OK" or "ERR ..." included.
std::vector<std::string> control(const std::string& line);

// Every model back to power-on.
void reset();

}  // namespace Sim
}  // namespace Board
