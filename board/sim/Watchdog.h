#pragma once
// The hardware watchdog: its journal holds every write of the daemon
// ("START", "PING", "STOP") with the monotonic time it came at, bytes outside
// printable ASCII (and "\") as \xNN.

#include "board/sim/Device.h"

#include <string>

namespace Board {
namespace Sim {

class Watchdog : public Device {
public:
  Watchdog();

  ssize_t write(OpenFile&, const uint8_t* data, size_t len) override;
  void history(Reply& reply) const override;

  // The text of a write as the journal shows it.
  static std::string escaped(const uint8_t* data, size_t len);
};

}  // namespace Sim
}  // namespace Board
