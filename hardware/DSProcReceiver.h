#pragma once
// What a slot offers the DSP receiver service: its timeslot and the hooks
// that receive the DSP functions' events, already decoded from the device's
// records. Slots with DSP processing derive from it beside Slot.

#include <cstdint>

// A BSS score event.
struct dsproc_bss_event {
  float score;
};

// A tone filter event: the filter's frequency, and whether the tone is there.
struct dsproc_tone_event {
  uint32_t frequency;
  uint32_t presence;
};

// Flag bits and the mask of the valid ones.
struct dsproc_flags_event {
  static constexpr uint32_t VadRx = 1u << 29;
  static constexpr uint32_t VadTx = 1u << 30;
  static constexpr uint32_t SelcalInProgress = 1u << 31;
  uint32_t flags;
  uint32_t mask;
};

namespace Hardware {

// Voice activity per direction; -1 where the event did not report it.
struct DSProcVADEvent {
  int rx;
  int tx;
};

struct DSProcSDEvent {
  int value;
};

class DSProcReceiver {
public:
  virtual ~DSProcReceiver() = default;

  virtual void dsproc_vad_event(const DSProcVADEvent& event) = 0;
  virtual void dsproc_bss_event(const ::dsproc_bss_event* event) = 0;
  virtual void dsproc_sd_event(const DSProcSDEvent& event) = 0;
  virtual void dsproc_tone_flt_event(const ::dsproc_tone_event* event) = 0;
  virtual void dsproc_flags_event(const ::dsproc_flags_event* event) = 0;
  virtual unsigned dsproc_timeslot() const = 0;
};

}  // namespace Hardware
