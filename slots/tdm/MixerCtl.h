#pragma once
// The requests of the conference mixer device "/dev/mixer". The device is
// opened anew for every request and closed right after it. Records are
// packed field by field (32-bit words in the board's order).

#include <cstdint>

#include "board/dev/Mixer.h"

namespace Mixer {

constexpr unsigned long MIX_RX_CLEAR = Board::Dev::Mixer::RxClear;
constexpr unsigned long MIX_RX_ADD = Board::Dev::Mixer::RxAdd;
constexpr unsigned long MIX_RX_REMOVE = Board::Dev::Mixer::RxRemove;
constexpr unsigned long MIX_TDM = Board::Dev::Mixer::TdmChannel;
constexpr unsigned long MIX_UNIT_QUERY = Board::Dev::Mixer::UnitQuery;

// What is added where the controller gives no gain.
constexpr int DefaultGain = 32767;

// A channel of a mixer unit.
struct mix_slot {
  static constexpr int32_t Tdm = Board::Dev::Mixer::Slot::Tdm;
  int32_t dev_no = 0;
  int32_t type = Tdm;
  int32_t number = 0;
};

// A unit as the unit query gives it; unit -1 asks for the first.
struct mix_unit {
  int32_t unit = -1;
  int32_t tdmChannels = 0;
  int32_t mixerInputs = 0;
};

// Opens the device, issues the request on the record, closes the device;
// the request's result, or -1 (with errno) when the device did not open.
int mixer_ctl(unsigned long request, void* record);
// Opens the device and closes it: 0, or -1 (with errno) when it did not open.
int probeDevice();

// The requests with their records. Each returns the request's result.
int clearPoint(const mix_slot& point);
int addInput(const mix_slot& point, const mix_slot& input, int32_t gain);
int removeInput(const mix_slot& point, const mix_slot& input);
// The TDM switch channel of a unit's channel.
int tdmChannel(const mix_slot& channel);
// Fills `unit` with the unit after it.
int queryUnit(mix_unit& unit);

}  // namespace Mixer
