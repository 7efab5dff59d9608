#pragma once
// The DSP data device "/dev/dsp-data": QSIG links towards a PBX, carried by
// the board's DSP. Each open file is one link. Its D channel is a channel
// of the TDM switch, which the D-channel query returns; one write sends one
// whole D-channel frame and one read returns one (flags and FCS are the
// DSP's work). The link's B channels, by index 0 to 2, are added and
// released one at a time; an added B channel is a channel of the switch too.

#include <cstddef>
#include <cstdint>

#include "board/Paths.h"
#include "board/Record.h"
#include "board/Request.h"

namespace Board {
namespace Dev {
namespace DspData {

constexpr const char* Path = Paths::DspData;

constexpr unsigned BChannels = 3;

// The record of the B-channel requests: the index, and the switch channel.
// The add request is given -1 and finds the assigned channel in `Tdm`.
namespace BChannel {
constexpr size_t Size = 8;
constexpr Field<int32_t> Index{0};
constexpr Field<int32_t> Tdm{4};
}  // namespace BChannel

// No record is read or written: the result is the D channel's switch
// channel. Its number says "read, 4 bytes", so callers pass a scratch word.
constexpr uint32_t DChannel = Request::ior('B', 17, 4);
constexpr uint32_t AddBChannel = Request::iow('B', 15, BChannel::Size);
constexpr uint32_t ReleaseBChannel = Request::iow('B', 16, BChannel::Size);

// The longest D-channel frame either way.
constexpr size_t MaxFrame = 512;

}  // namespace DspData
}  // namespace Dev
}  // namespace Board
