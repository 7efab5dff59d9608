#pragma once
// The voice driver "/dev/voice", as far as the daemon uses it: the driver's
// version record of five words, and the number of RTP channels it has of
// each codec type.

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

// Codec types of the channel count: the word holds one on entry; the
// request's result (not the word) is the count.
enum ChannelType : uint32_t { G711 = 1, G723 = 2, G729 = 4, G711Mcc = 8, Universal = 65 };
namespace ChannelCount {
constexpr size_t Size = 4;
constexpr Field<uint32_t> Type{0};
}  // namespace ChannelCount

constexpr uint32_t CountChannels = Request::ior('V', 2, ChannelCount::Size);
constexpr uint32_t GetVersion = Request::ior('V', 10, Version::Size);

}  // namespace Voice
}  // namespace Dev
}  // namespace Board
