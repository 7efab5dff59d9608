#pragma once
// The devices the simulated board carries at power-on.

#include "board/sim/Device.h"

#include <memory>
#include <vector>

namespace Board {
namespace Sim {

std::vector<std::unique_ptr<Device>> makeModels();

}  // namespace Sim
}  // namespace Board
