#pragma once
// The hardware watchdog "/dev/misc/gw-wd": the daemon writes one word per
// write, without a terminator. START arms it, PING keeps it from firing,
// STOP disarms it.

#include "board/Paths.h"

namespace Board {
namespace Dev {
namespace Watchdog {

constexpr const char* Path = Paths::Watchdog;

constexpr const char* Start = "START";
constexpr const char* Ping = "PING";
constexpr const char* Stop = "STOP";

}  // namespace Watchdog
}  // namespace Dev
}  // namespace Board
