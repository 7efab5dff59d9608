#pragma once
// A channel of the multichannel HDLC controller "/dev/mcc/ctl" as its users
// take one: the device opened, a controller channel allocated on it with the
// allocation record, and the TDM switch channel of that channel asked. The
// records are packed here only; the result says which step failed with which
// errno, and each user writes its own lines.

#include <cstdint>

#include "foundation/os/Fd.h"

class MccChannel {
public:
  // The step that failed; None while every step taken worked.
  enum Step { None, Open, Allocate, Timeslot };

  // The allocation record; its reserved word is 0.
  struct Allocation {
    uint32_t type;  // Board::Dev::Mcc::Type
    uint32_t rxPacketSize;
    uint32_t rxThreshold;
    uint32_t txThreshold;
  };

  // The free channels of each type.
  struct FreeChannels {
    int32_t data = 0;
    int32_t bri = 0;
    int32_t transparent = 0;
  };

  // Opens the device with `flags`.
  static MccChannel open(int flags);
  // Opens the device and allocates a channel on it.
  static MccChannel open(int flags, const Allocation& allocation);
  // Allocates the channel and asks its switch channel; nothing after a failed step.
  void allocate(const Allocation& allocation);
  // As the resources request answers them; all 0 when the device does not open or refuses.
  static FreeChannels freeChannels();

  explicit operator bool() const { return failed == None; }
  // The caller's text for the step that failed.
  const char* failure(const char* open, const char* allocate, const char* timeslot) const;

  Fd fd;
  int timeslot = -1;  // the allocated channel's TDM switch channel
  Step failed = None;
  int error = 0;  // errno of the failed step

private:
  void fail(Step step);
};
