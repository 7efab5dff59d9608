#pragma once
// Request numbers as the board's drivers see them: the PowerPC encoding,
// whatever the host's own ioctl encoding is.

#include <cstdint>

namespace Board {
namespace Request {

enum Direction : uint32_t { None = 1, Read = 2, Write = 4 };

constexpr uint32_t make(uint32_t dir, uint32_t group, uint32_t nr, uint32_t size) {
  return (dir << 29) | ((size & 0x1FFF) << 16) | ((group & 0xFF) << 8) | (nr & 0xFF);
}
constexpr uint32_t io(uint32_t group, uint32_t nr) { return make(None, group, nr, 0); }
constexpr uint32_t ior(uint32_t group, uint32_t nr, uint32_t size) { return make(Read, group, nr, size); }
constexpr uint32_t iow(uint32_t group, uint32_t nr, uint32_t size) { return make(Write, group, nr, size); }
constexpr uint32_t iowr(uint32_t group, uint32_t nr, uint32_t size) { return make(Read | Write, group, nr, size); }

constexpr uint32_t direction(uint32_t req) { return req >> 29; }
constexpr uint32_t size(uint32_t req) { return (req >> 16) & 0x1FFF; }
constexpr uint32_t group(uint32_t req) { return (req >> 8) & 0xFF; }
constexpr uint32_t number(uint32_t req) { return req & 0xFF; }

}  // namespace Request
}  // namespace Board
