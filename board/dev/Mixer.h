#pragma once
// The conference mixer driver "/dev/mixer": units with TDM channels and
// summing points. A channel of a unit is a mix slot; an input is added to a
// summing point with a gain. The unit query walks the units in ascending order.

#include <cstddef>
#include <cstdint>

#include "board/Paths.h"
#include "board/Record.h"
#include "board/Request.h"

namespace Board {
namespace Dev {
namespace Mixer {

constexpr const char* Path = Paths::Mixer;

// A mix slot: the unit, the type of channel, its number.
namespace Slot {
constexpr size_t Size = 12;
constexpr Field<int32_t> Unit{0};
constexpr Field<int32_t> Type{4};
constexpr Field<int32_t> Number{8};
constexpr int32_t Tdm = 0;
}  // namespace Slot

// A summing point's slot, the input's slot, and the gain.
namespace Add {
constexpr size_t Size = 28;
constexpr size_t Point = 0;
constexpr size_t Input = Slot::Size;
constexpr Field<int32_t> Gain{2 * Slot::Size};
}  // namespace Add

// The unit query's record: the unit to start after (-1 for the first), then
// what the driver answers of the next one.
namespace Unit {
constexpr size_t Size = 16;
constexpr Field<int32_t> Number{0};
constexpr Field<int32_t> TdmChannels{4};
constexpr Field<int32_t> Unused{8};
constexpr Field<int32_t> MixerInputs{12};
}  // namespace Unit

constexpr uint32_t RxClear = Request::iow('M', 2, Slot::Size);
constexpr uint32_t RxAdd = Request::iow('M', 3, Add::Size);
constexpr uint32_t RxRemove = Request::iow('M', 4, Add::Size);
// The result is the slot's TDM switch channel.
constexpr uint32_t TdmChannel = Request::iow('M', 6, Slot::Size);
constexpr uint32_t UnitQuery = Request::iow('M', 7, Unit::Size);

}  // namespace Mixer
}  // namespace Dev
}  // namespace Board
