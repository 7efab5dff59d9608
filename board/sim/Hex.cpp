#include "board/sim/Hex.h"

#include <cstdio>

namespace Board {
namespace Sim {
namespace Hex {

namespace {

int digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string encode(const void* data, size_t len, Case digits) {
  const char* set = digits == Upper ? "0123456789ABCDEF" : "0123456789abcdef";
  const auto* p = static_cast<const uint8_t*>(data);
  std::string text;
  for (size_t i = 0; i < len; ++i) {
    text += set[p[i] >> 4];
    text += set[p[i] & 15];
  }
  return text;
}

bool decode(const std::string& text, std::string& bytes) {
  if (text.empty() || text.size() % 2) return false;
  std::string out;
  for (size_t i = 0; i < text.size(); i += 2) {
    const int high = digit(text[i]);
    const int low = digit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    out += char(high << 4 | low);
  }
  bytes = out;
  return true;
}

std::string number(uint32_t value, int width) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", width, unsigned(value));
  return text;
}

}  // namespace Hex
}  // namespace Sim
}  // namespace Board
