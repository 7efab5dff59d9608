#include "board/sim/Watchdog.h"

#include "board/Paths.h"

#include <cstdio>
#include <ctime>
#include <iterator>

namespace Board {
namespace Sim {

namespace {

uint64_t monotonicMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000 + uint64_t(ts.tv_nsec) / 1000000;
}

void journalCommand(Device& d, const Args& args, Reply& reply) {
  if (!args.empty()) return reply.fail("usage: watchdog journal");
  auto& wd = static_cast<Watchdog&>(d);
  if (wd.dropped()) reply.line("dropped " + std::to_string(wd.dropped()));
  for (const auto& e : wd.journal()) reply.line(Watchdog::format(e));
}

void clearCommand(Device& d, const Args& args, Reply& reply) {
  if (!args.empty()) return reply.fail("usage: watchdog clear");
  static_cast<Watchdog&>(d).clear();
}

}  // namespace

Watchdog::Watchdog() : Device("watchdog", Paths::Watchdog) {}

ssize_t Watchdog::write(OpenFile&, const uint8_t* data, size_t len) {
  if (journal_.size() == JournalLimit) {
    journal_.pop_front();
    ++dropped_;
  }
  journal_.push_back(Entry{monotonicMs(), std::string(reinterpret_cast<const char*>(data), len)});
  publish(format(journal_.back()));
  return ssize_t(len);
}

std::vector<Command> Watchdog::commands() const {
  static const Command table[] = {
      {"journal", "", journalCommand},
      {"clear", "", clearCommand},
  };
  return {std::begin(table), std::end(table)};
}

void Watchdog::history(Reply& reply) const {
  for (const auto& e : journal_) reply.line(format(e));
}

std::string Watchdog::format(const Entry& e) {
  std::string line = std::to_string(e.ms) + " ";
  for (unsigned char c : e.text) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      line += char(c);
    } else {
      char esc[5];
      std::snprintf(esc, sizeof esc, "\\x%02X", c);
      line += esc;
    }
  }
  return line;
}

void Watchdog::clear() {
  journal_.clear();
  dropped_ = 0;
}

void Watchdog::resetState() { clear(); }

}  // namespace Sim
}  // namespace Board
