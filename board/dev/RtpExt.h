#pragma once
// The RTP engine's header-extension device "/dev/rtp_ext": one open file is
// one extension session, initialised with its extension type and attached to
// an RTP session. A write hands the engine one header block to put on the
// outgoing packets; a read returns the header block of one received packet,
// whose source the packet-info request tells beforehand.

#include <cstddef>
#include <cstdint>

#include "board/Paths.h"
#include "board/Record.h"
#include "board/Request.h"

namespace Board {
namespace Dev {
namespace RtpExt {

constexpr const char* Path = Paths::RtpExt;

// Header blocks are read and written whole, at most this long.
constexpr size_t BlockMax = 1024;

// Extension types.
enum ExtensionType : uint16_t { Lemz = 0x1337, Ed137 = 0x0167 };

namespace Init {
constexpr size_t Size = 20;
constexpr Field<uint16_t> Etype{0};
constexpr Field<uint16_t> Zero{2};
constexpr Field<uint32_t> Mode{4};
constexpr Field<uint32_t> Pt{8};
constexpr Field<uint32_t> IntervalPkts{12};
constexpr Field<uint32_t> Sigtime{16};
}  // namespace Init

// The RTP session ("/dev/rtp" descriptor of process PidRtp) to follow.
namespace Attach {
constexpr size_t Size = 8;
constexpr Field<int32_t> FdRtp{0};
constexpr Field<int32_t> PidRtp{4};
}  // namespace Attach

// The packet the next read returns: its SSRC and IPv4 source in network order.
namespace PacketInfo {
constexpr size_t Size = 12;
constexpr Field<uint32_t> Ssrc{0};
constexpr Field<uint32_t> Addr{4};
constexpr Field<uint32_t> Spare{8};
}  // namespace PacketInfo

// Only packets from Addr (network order) are delivered; 0 when reset.
namespace Filter {
constexpr size_t Size = 8;
constexpr Field<uint32_t> Addr{0};
constexpr Field<uint32_t> Reserved{4};
}  // namespace Filter

constexpr uint32_t InitSession = Request::iowr('E', 0, Init::Size);
constexpr uint32_t AttachSession = Request::iowr('E', 1, Attach::Size);
// Passes the attach record although its number carries no size.
constexpr uint32_t DetachSession = Request::io('E', 2);
constexpr uint32_t NextPacketInfo = Request::iowr('E', 3, PacketInfo::Size);
constexpr uint32_t SetFilter = Request::iowr('E', 4, Filter::Size);
// Passes the filter record although its number carries no size.
constexpr uint32_t ResetFilter = Request::io('E', 5);

}  // namespace RtpExt
}  // namespace Dev
}  // namespace Board
