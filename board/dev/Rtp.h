#pragma once
// The RTP engine "/dev/rtp": one open file is one RTP session. The session is
// begun with its connection record, then a channel is added, for which the
// engine hands out the TDM switch channel that carries the session. The
// engine queues the session's events (packet detector); a read returns one
// event record and fails with EAGAIN when none is queued.

#include <cstddef>
#include <cstdint>

#include "board/Paths.h"
#include "board/Record.h"
#include "board/Request.h"

namespace Board {
namespace Dev {
namespace Rtp {

constexpr const char* Path = Paths::Rtp;

// The session's connection (begin session). Addresses are IPv4 in network order.
namespace Session {
constexpr size_t Size = 44;
constexpr Field<uint32_t> RemoteAddress{0};
constexpr Field<uint16_t> RemotePort{4};
constexpr Field<uint32_t> SourceAddress{8};
constexpr Field<uint16_t> SourcePort{12};
constexpr Field<uint16_t> RxPayloadType{14};
constexpr Field<uint16_t> TxPayloadType{16};
constexpr Field<uint16_t> PacketFactor{18};
constexpr Field<uint8_t> Vad{20};
constexpr Field<uint8_t> Crate{21};
constexpr Field<uint32_t> Ssrc{24};
constexpr Field<uint32_t> Ttl{36};
// IP TOS octet; all ones leaves the engine's default.
constexpr Field<uint32_t> Tos{40};
constexpr uint32_t DefaultTos = 0xFFFFFFFF;
}  // namespace Session

// The add-channel record: -1 asks for a new channel; the engine writes the
// session's switch channel into Tdm.
namespace Channel {
constexpr size_t Size = 16;
constexpr Field<int32_t> Tdm{0};
constexpr Field<int32_t> DevNo{4};
constexpr Field<int32_t> Chn{8};
constexpr Field<int32_t> Spare{12};
}  // namespace Channel

// Event types.
enum EventType : uint32_t { PacketDetector = 1 };

// One queued event, one per read.
namespace Event {
constexpr size_t Size = 36;
constexpr Field<uint32_t> Type{0};
constexpr Field<int32_t> Value{4};
constexpr Field<int32_t> Timeout{8};
}  // namespace Event

// An event as read: its type and the two words after it.
struct EventReport {
  uint32_t type;
  int32_t value;
  int32_t timeout;
};

// Switches an event type on: nine words, the timeout given twice.
namespace EventOn {
constexpr size_t Size = 36;
constexpr size_t Words = 9;
constexpr Field<uint32_t> Word[Words] = {{0}, {4}, {8}, {12}, {16}, {20}, {24}, {28}, {32}};
constexpr Field<uint32_t> Type = Word[0];
constexpr Field<uint32_t> Timeout = Word[2];
constexpr Field<uint32_t> TimeoutAgain = Word[5];
}  // namespace EventOn

// Switches an event type off.
namespace EventOff {
constexpr size_t Size = 4;
constexpr Field<uint32_t> Type{0};
}  // namespace EventOff

// Joins this session to a session of another process (radio slots).
namespace Attach {
constexpr size_t Size = 8;
constexpr Field<int32_t> FdRtp{0};
constexpr Field<int32_t> PidRtp{4};
}  // namespace Attach

constexpr uint32_t BeginSession = Request::iowr('R', 0, Session::Size);
constexpr uint32_t AddChannel = Request::iowr('R', 2, Channel::Size);
// The teardown steps, issued in the order Teardown10, Teardown3, Teardown11.
constexpr uint32_t Teardown3 = Request::io('R', 3);  // plain number
constexpr uint32_t InputOn = Request::io('R', 4);    // plain number
constexpr uint32_t InputOff = Request::io('R', 5);   // plain number
constexpr uint32_t AttachSession = Request::iowr('R', 9, Attach::Size);
constexpr uint32_t Teardown10 = Request::io('R', 10);  // plain number
constexpr uint32_t Teardown11 = Request::io('R', 11);  // plain number
constexpr uint32_t EventEnable = Request::iowr('R', 12, EventOn::Size);
constexpr uint32_t EventDisable = Request::iow('R', 13, EventOff::Size);

}  // namespace Rtp
}  // namespace Dev
}  // namespace Board
