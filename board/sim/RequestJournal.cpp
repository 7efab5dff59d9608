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

void RequestJournal::add(std::string text) { log_.add(Entry{monotonicMs(), std::move(text)}); }

std::vector<std::string> RequestJournal::texts() const {
  std::vector<std::string> all;
  for (const Entry& e : log_) all.push_back(e.text);
  return all;
}

void RequestJournal::put(Reply& reply) const {
  if (log_.dropped()) reply.line("dropped " + std::to_string(log_.dropped()));
  for (const Entry& e : log_) reply.line(line(e));
}

std::string RequestJournal::line(const Entry& e) { return std::to_string(e.ms) + " " + e.text; }

}  // namespace Sim
}  // namespace Board
