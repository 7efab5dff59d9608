#pragma once
// What the event-reporting models share for their injection commands: raw
// records given as hex (for records a driver should never write) and the
// hang-up of every open descriptor (a driver that went away).

#include "board/sim/Device.h"

#include <string>

namespace Board {
namespace Sim {

// "0a0B" to its bytes; false when the text is empty, odd or not hex.
bool hexBytes(const std::string& hex, std::string& bytes);

// Shuts the model's end of every open descriptor: the daemon's ends report a
// hang-up and read end of file. Returns the number of descriptors reached.
size_t hangUp(Device& device);

// The usual "reached N" answer of an injection.
void reached(Reply& reply, size_t count);

}  // namespace Sim
}  // namespace Board
