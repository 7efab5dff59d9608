#include "board/sim/Injection.h"

#include <cctype>
#include <sys/socket.h>

namespace Board {
namespace Sim {

namespace {

int hexDigit(char c) {
  if (std::isdigit(static_cast<unsigned char>(c))) return c - '0';
  const int lower = std::tolower(static_cast<unsigned char>(c));
  return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

}  // namespace

bool hexBytes(const std::string& hex, std::string& bytes) {
  if (hex.empty() || hex.size() % 2) return false;
  bytes.clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = hexDigit(hex[i]);
    const int low = hexDigit(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes += char(high << 4 | low);
  }
  return true;
}

size_t hangUp(Device& device) {
  size_t n = 0;
  for (const OpenFile& f : device.files()) n += ::shutdown(f.peer, SHUT_RDWR) == 0;
  return n;
}

void reached(Reply& reply, size_t count) { reply.line("reached " + std::to_string(count)); }

}  // namespace Sim
}  // namespace Board
