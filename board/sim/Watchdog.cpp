#include "board/sim/Watchdog.h"

#include "board/dev/Watchdog.h"
#include "board/sim/Hex.h"

namespace Board {
namespace Sim {

Watchdog::Watchdog() : Device("watchdog", Dev::Watchdog::Path, JournalCommands) {}

ssize_t Watchdog::write(OpenFile&, const uint8_t* data, size_t len) {
  journalLine(escaped(data, len));
  publish(RequestJournal::line(journal().entries().back()));
  return ssize_t(len);
}

void Watchdog::history(Reply& reply) const {
  for (const auto& e : journal().entries()) reply.line(RequestJournal::line(e));
}

std::string Watchdog::escaped(const uint8_t* data, size_t len) {
  std::string text;
  for (size_t i = 0; i < len; ++i) {
    const uint8_t c = data[i];
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      text += char(c);
    } else {
      text += "\\x" + Hex::encode(&c, 1);
    }
  }
  return text;
}

}  // namespace Sim
}  // namespace Board
