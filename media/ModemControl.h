#pragma once
// The modem control device "/dev/mctl" as the modem factory and the DSP modem
// slots use it: the modems enumerated, one allocated on an open file with its
// TDM channel, and the requests on an allocated modem. The records are packed
// here only. Each call is the request's result: -1 with errno on failure.

#include <cstdint>

#include "foundation/os/Fd.h"

namespace ModemControl {

// The device opened with `flags`; empty, with errno set, when it does not open.
Fd open(int flags);
// The modem after `previous` (-1 for the first); ENODEV after the last.
int next(const Fd& control, int previous);
// A modem allocated on this open file: its number.
int allocate(const Fd& control);
// The allocated modem's TDM channel.
int timeslot(const Fd& control);
// A request with the {modem, word} record (Board::Dev::Mctl: data modes, the
// parameters' reset, answer, originate).
int request(const Fd& control, uint32_t number, int32_t modem, int32_t word);
// One DSP modem parameter.
int setParameter(const Fd& control, int32_t modem, int32_t offset, int32_t value);

}  // namespace ModemControl
