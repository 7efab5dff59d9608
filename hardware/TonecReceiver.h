#pragma once
// What a slot offers the tone receiver service: the timeslot it listens and
// dials on, and the hooks that receive the detector's events. Slots with
// tone detection or generation derive from it beside Slot.

#include <cstdint>

namespace Hardware {

class TonecReceiver {
public:
  // One detector event for the receiver's timeslot.
  struct Params {
    uint32_t code;
    uint32_t timestamp;
  };

  virtual ~TonecReceiver() = default;

  virtual void tonec_event(const Params& event) = 0;
  virtual unsigned tonec_timeslot() const = 0;
  // A DTMF digit sequence has been played out.
  virtual void tone_gen_complete() {}
};

}  // namespace Hardware
