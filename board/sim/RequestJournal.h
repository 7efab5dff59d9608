#pragma once
// The requests a device model was given, in order, each as one text line
// with the monotonic time it came at: what a test reads to see which
// requests the daemon issued, with which record, and when.

#include <cstdint>
#include <string>
#include <vector>

#include "board/sim/BoundedLog.h"
#include "board/sim/Reply.h"

namespace Board {
namespace Sim {

class RequestJournal {
public:
  static constexpr size_t Limit = 4096;

  struct Entry {
    uint64_t ms;  // CLOCK_MONOTONIC, milliseconds
    std::string text;
  };

  void add(std::string text);
  const std::deque<Entry>& entries() const { return log_.entries(); }
  // The texts alone, oldest first.
  std::vector<std::string> texts() const;
  uint64_t dropped() const { return log_.dropped(); }
  void clear() { log_.clear(); }
  // "dropped N" first when requests fell off the front, then one line per request.
  void put(Reply& reply) const;
  // One line: the time, a space, the text.
  static std::string line(const Entry& e);

private:
  BoundedLog<Entry> log_{Limit};
};

}  // namespace Sim
}  // namespace Board
