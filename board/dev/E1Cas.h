#pragma once
// The E1 CAS driver "/dev/e1-cas": trunks opened and closed for
// channel-associated signalling, and per trunk timeslot a channel opened with
// the bits it transmits, set and read back. The driver reports a change of a
// channel's received bits as one channel record read from the descriptor.

#include <cstddef>
#include <cstdint>

#include "board/Paths.h"
#include "board/Record.h"
#include "board/Request.h"

namespace Board {
namespace Dev {
namespace E1Cas {

constexpr const char* Path = Paths::E1Cas;

constexpr unsigned Trunks = 4;
constexpr unsigned Timeslots = 32;
// The transmitted bits a channel takes.
constexpr uint8_t TxBits = 0x0F;

// The channel record, also the change event.
namespace Channel {
constexpr size_t Size = 12;
constexpr Field<int32_t> Trunk{0};
constexpr Field<int32_t> Timeslot{4};
constexpr Field<uint8_t> Rx{8};
constexpr Field<uint8_t> Tx{9};
}  // namespace Channel

// The channel record followed by the operation word.
namespace OpenClose {
constexpr size_t Size = Channel::Size + 4;
constexpr Field<uint32_t> Operation{Channel::Size};
constexpr uint32_t Open = 0;
constexpr uint32_t Close = 1;
}  // namespace OpenClose

// Pass the trunk itself in place of a record.
constexpr uint32_t TrunkOpen = Request::iow('C', 0, 4);
constexpr uint32_t TrunkClose = Request::iow('C', 1, 4);

constexpr uint32_t ChannelSet = Request::iowr('C', 2, Channel::Size);
constexpr uint32_t ChannelGet = Request::iowr('C', 3, Channel::Size);
constexpr uint32_t ChannelOpenClose = Request::iowr('C', 4, OpenClose::Size);

}  // namespace E1Cas
}  // namespace Dev
}  // namespace Board
