#pragma once
// The multichannel HDLC controller "/dev/mcc/ctl". Each open file allocates
// at most one controller channel, which is a channel of the TDM switch; from
// then on one write sends one frame (or data block) and one read returns one.

#include <cstddef>
#include <cstdint>

#include "board/Paths.h"
#include "board/Record.h"
#include "board/Request.h"

namespace Board {
namespace Dev {
namespace Mcc {

constexpr const char* Path = Paths::MccCtl;

// The allocation record (MCC_ALLOCATE); nothing is written back.
namespace Allocation {
constexpr size_t Size = 20;
constexpr Field<uint32_t> Type{0};
constexpr Field<uint32_t> RxPacketSize{4};
constexpr Field<uint32_t> Reserved{8};
constexpr Field<uint32_t> RxThreshold{12};
constexpr Field<uint32_t> TxThreshold{16};
}  // namespace Allocation

// Channel types.
enum Type : uint32_t { Data = 0, Bri = 1, Transparent = 2, Ss7 = 3 };

// The free channels of each type, as the resources request answers.
namespace Resources {
constexpr size_t Size = 16;
constexpr Field<int32_t> Data{0};
constexpr Field<int32_t> Bri{4};
constexpr Field<int32_t> Transparent{8};
constexpr Field<int32_t> Reserved{12};
}  // namespace Resources

constexpr uint32_t Allocate = Request::ior('M', 0, Allocation::Size);
// No argument: the result is the allocated channel's switch channel.
constexpr uint32_t Timeslot = Request::io('M', 2);
constexpr uint32_t FreeChannels = Request::iow('M', 3, Resources::Size);

}  // namespace Mcc
}  // namespace Dev
}  // namespace Board
