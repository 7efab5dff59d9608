#pragma once
// An event of the RTP engine's session descriptor, decoded from its record.

#include <cstdint>

struct rtp_event {
  // Type 1: the packet detector reports `value` after `timeout`.
  static constexpr uint32_t PacketDetector = 1;
  uint32_t type;
  int32_t value;
  int32_t timeout;
};
