#pragma once
// The E1 framers' maintenance device "/dev/maintenance": the synchronisation
// status of each trunk, and the transmit-clock mask (bit n set: trunk n takes
// its transmit clock as a slave).

#include <cstddef>
#include <cstdint>

#include "board/Paths.h"
#include "board/Record.h"
#include "board/Request.h"

namespace Board {
namespace Dev {
namespace Maintenance {

constexpr const char* Path = Paths::Maintenance;

constexpr unsigned Trunks = 4;

// The status record: the daemon fills in the trunk, the driver the rest.
// The state is 0..6 as the controller numbers trunk states.
namespace Status {
constexpr size_t Size = 80;
constexpr Field<uint32_t> Trunk{0};
constexpr Field<int32_t> Slips{36};
constexpr Field<int32_t> LossBF{40};
constexpr Field<int32_t> LossCarrier{44};
constexpr Field<int32_t> LossAIS{48};
constexpr Field<int32_t> LossRAI{52};
constexpr Field<uint32_t> State{76};
}  // namespace Status

constexpr uint32_t SyncStatus = Request::iowr('M', 3, Status::Size);
// Passes the mask itself in place of a record.
constexpr uint32_t TransmitClock = Request::iowr('M', 11, 4);

}  // namespace Maintenance
}  // namespace Dev
}  // namespace Board
