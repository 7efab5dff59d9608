#pragma once
// The voice driver "/dev/voice" as the mixer and RTP factories query it: the
// driver's version and its channel counts by codec type, on a descriptor the
// caller opens for its query. The records are packed here only.

#include <array>
#include <cstdint>

#include "board/dev/Voice.h"
#include "foundation/os/Fd.h"

namespace VoiceDevice {

using Version = std::array<uint32_t, Board::Dev::Voice::Version::Words>;

// The device opened read-only; empty, with errno set, when it does not open.
Fd open();
// The driver's version; false, and every word 0, when the request fails.
bool version(const Fd& device, Version& words);
// The number of channels of a codec type (Board::Dev::Voice::ChannelType);
// -1 with errno when the request fails.
int countChannels(const Fd& device, uint32_t type);

}  // namespace VoiceDevice
