#pragma once
// A QSIG link on the DSP data device "/dev/dsp-data", as the ISDN factory
// opens one and the QSIG slot adds and releases its B channels. The records
// are packed here only. Each request is its result: -1 with errno on failure.

#include <cstdint>

#include "foundation/os/Fd.h"

namespace DspDataLink {

// A link opened read-write and non-blocking; empty, with errno set, when the device does not open.
Fd open();
// The link's D channel: its TDM switch channel.
int dChannel(int link);
// Adds B channel `index` (0 to 2); `tdm` is then its switch channel.
int addBChannel(int link, int32_t index, int32_t& tdm);
int releaseBChannel(int link, int32_t index, int32_t tdm);

}  // namespace DspDataLink
