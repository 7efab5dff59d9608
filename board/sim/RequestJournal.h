#pragma once
// The requests a device model was given, in order, each as one text line
// with the monotonic time it came at: what a test reads to see which
// requests the daemon issued, with which record, and when.

#include "board/sim/Device.h"

#include <cstdint>
#include <deque>
#include <string>

namespace Board {
namespace Sim {

class RequestJournal {
public:
  // A daemon may run for days: only the latest requests are kept.
  static constexpr size_t Limit = 4096;

  struct Entry {
    uint64_t ms;  // CLOCK_MONOTONIC, milliseconds
    std::string text;
  };

  void add(std::string text);
  const std::deque<Entry>& entries() const { return entries_; }
  // The texts alone, oldest first.
  std::vector<std::string> texts() const;
  uint64_t dropped() const { return dropped_; }
  void clear();
  // "dropped N" first when requests fell off the front, then "MS TEXT" per request.
  void put(Reply& reply) const;

private:
  std::deque<Entry> entries_;
  uint64_t dropped_ = 0;
};

}  // namespace Sim
}  // namespace Board
