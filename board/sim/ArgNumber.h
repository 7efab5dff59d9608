#pragma once
// Numbers in the models' control commands: decimal, or hex after "0x", a
// leading "-" allowed where the range has room for it; the whole word, in range.

#include <cerrno>
#include <cstdlib>
#include <string>

namespace Board {
namespace Sim {

inline bool argNumber(const std::string& word, long min, long max, long& value) {
  if (word.empty() || word[0] == '+') return false;
  const size_t digits = word[0] == '-' ? 1 : 0;
  const bool hex = word.compare(digits, 2, "0x") == 0 || word.compare(digits, 2, "0X") == 0;
  char* end = nullptr;
  errno = 0;
  value = std::strtol(word.c_str(), &end, hex ? 16 : 10);
  return errno == 0 && *end == '\0' && value >= min && value <= max;
}

}  // namespace Sim
}  // namespace Board
