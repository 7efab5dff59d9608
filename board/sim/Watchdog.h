#pragma once
// The hardware watchdog: it keeps a journal of what the daemon writes to it
// ("START", "PING", "STOP"), each write with the monotonic time it came at.

#include "board/sim/Device.h"

#include <cstdint>
#include <deque>
#include <string>

namespace Board {
namespace Sim {

class Watchdog : public Device {
public:
  // The journal keeps the latest writes only: a daemon pings for days.
  static constexpr size_t JournalLimit = 4096;

  struct Entry {
    uint64_t ms;  // CLOCK_MONOTONIC, milliseconds
    std::string text;
  };

  Watchdog();

  ssize_t write(OpenFile&, const uint8_t* data, size_t len) override;
  std::vector<Command> commands() const override;
  void history(Reply& reply) const override;

  const std::deque<Entry>& journal() const { return journal_; }
  // Writes that fell off the front of the journal.
  uint64_t dropped() const { return dropped_; }
  void clear();
  // One journal line: the time, a space, the text (other bytes as \xNN).
  static std::string format(const Entry& e);

protected:
  void resetState() override;

private:
  std::deque<Entry> journal_;
  uint64_t dropped_ = 0;
};

}  // namespace Sim
}  // namespace Board
