#pragma once
// The voice driver "/dev/voice", as far as the daemon uses it: the driver's
// version record of five words.

#include <cstddef>
#include <cstdint>

#include "board/Paths.h"
#include "board/Record.h"
#include "board/Request.h"

namespace Board {
namespace Dev {
namespace Voice {

constexpr const char* Path = Paths::Voice;

namespace Version {
constexpr size_t Words = 5;
constexpr size_t Size = 4 * Words;
constexpr Field<uint32_t> Word[Words] = {{0}, {4}, {8}, {12}, {16}};
}  // namespace Version

constexpr uint32_t GetVersion = Request::ior('V', 10, Version::Size);

}  // namespace Voice
}  // namespace Dev
}  // namespace Board
