#pragma once
// Bytes as hex digits and back, and numbers as "0x" hex, for control lines.

#include <cstddef>
#include <cstdint>
#include <string>

namespace Board {
namespace Sim {
namespace Hex {

enum Case { Upper, Lower };

std::string encode(const void* data, size_t len, Case digits = Upper);
inline std::string encode(const std::string& bytes, Case digits = Upper) {
  return encode(bytes.data(), bytes.size(), digits);
}
// "0a0B" to its bytes; false when the text is empty, odd or not hex.
bool decode(const std::string& text, std::string& bytes);
// "0x" and the number in upper-case digits, at least `width` of them.
std::string number(uint32_t value, int width = 1);

}  // namespace Hex
}  // namespace Sim
}  // namespace Board
