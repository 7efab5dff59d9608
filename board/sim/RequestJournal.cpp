#include "board/sim/RequestJournal.h"

#include <ctime>

namespace Board {
namespace Sim {

namespace {

uint64_t monotonicMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000 + uint64_t(ts.tv_nsec) / 1000000;
}

}  // namespace

void RequestJournal::add(std::string text) {
  if (entries_.size() == Limit) {
    entries_.pop_front();
    ++dropped_;
  }
  entries_.push_back(Entry{monotonicMs(), std::move(text)});
}

std::vector<std::string> RequestJournal::texts() const {
  std::vector<std::string> all;
  for (const Entry& e : entries_) all.push_back(e.text);
  return all;
}

void RequestJournal::clear() {
  entries_.clear();
  dropped_ = 0;
}

void RequestJournal::put(Reply& reply) const {
  if (dropped_) reply.line("dropped " + std::to_string(dropped_));
  for (const Entry& e : entries_) reply.line(std::to_string(e.ms) + " " + e.text);
}

}  // namespace Sim
}  // namespace Board
