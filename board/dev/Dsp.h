#pragma once
// The DSP processing driver "/dev/dsp": per timeslot a set of functions,
// each configured with its parameters and switched on (with an id that its
// events carry) or off by mask. The driver reports events as event records.

#include <cstddef>
#include <cstdint>

#include "board/Paths.h"
#include "board/Record.h"
#include "board/Request.h"
#include "board/dev/Hal.h"

namespace Board {
namespace Dev {
namespace Dsp {

constexpr const char* Path = Paths::Dsp;

// Every channel of the TDM switch is a timeslot of the driver.
constexpr uint32_t Timeslots = Hal::Switch::Channels;

// Function numbers, also the bits of a function mask.
enum FunctionBit : uint32_t {
  Vad = 0x1,
  Sd = 0x2,
  MuteRx = 0x4,
  MuteTx = 0x8,
  Bss = 0x10,
  Delays = 0x20,
  RxGain = 0x40,
  Ng = 0x80,
  ToneFilter = 0x100,
  SelcalSh = 0x400,
};
constexpr uint32_t Functions = 0x5FF;

// Configures one function; its parameters follow, laid out per function.
namespace Configure {
constexpr size_t Size = 20;
constexpr Field<uint32_t> Timeslot{0};
constexpr Field<uint32_t> Function{4};
constexpr Bytes Params{8, 12};
// VAD from driver version 2 on.
constexpr Field<uint16_t> VoiceMs{8};
constexpr Field<uint16_t> SilenceMs{10};
constexpr Field<int8_t> EnergyDb{12};
// VAD before version 2: three words.
constexpr Field<uint32_t> LegacyVad[] = {{8}, {12}, {16}};
constexpr Field<uint32_t> DelayRx{8};
constexpr Field<uint32_t> DelayTx{12};
constexpr Field<uint32_t> DelaySelcal{16};
constexpr Field<int8_t> GainDb{8};
constexpr Field<uint16_t> FilterFreq{8};
constexpr Field<uint8_t> FilterEnable{10};
constexpr Field<uint16_t> FilterDurationMs{12};
constexpr Field<int8_t> FilterLevelDb{14};
}  // namespace Configure

// Switches the functions of a mask on (with an id) or off (id 0).
namespace Switch {
constexpr size_t Size = 12;
constexpr Field<uint32_t> Timeslot{0};
constexpr Field<uint32_t> Id{4};
constexpr Field<uint32_t> Mask{8};
}  // namespace Switch

// Event types; the three words' meaning follows the type.
enum EventType : uint32_t { VadEvent = 0x1, SdEvent = 0x2, BssEvent = 0x10, ToneEvent = 0x100, FlagsEvent = 0x200 };

namespace Event {
constexpr size_t Size = 24;
constexpr Field<uint32_t> Timeslot{0};
constexpr Field<uint32_t> Id{4};
constexpr Field<uint32_t> Type{8};
constexpr Field<uint32_t> Words[] = {{12}, {16}, {20}};
}  // namespace Event

// A VAD event's first word: the directions it reports.
constexpr uint32_t DirectionRx = 0x1;
constexpr uint32_t DirectionTx = 0x2;

// The events as the receivers hand them on, decoded from the three words.
// VAD: each direction's activity, -1 where the event did not report it.
struct VadReport {
  int rx;
  int tx;
};

struct SdReport {
  int value;
};

// BSS: the first word read as a 32-bit float.
struct BssReport {
  float score;
};

// Tone filter: the filter's frequency, and whether the tone is there.
struct ToneReport {
  uint32_t frequency;
  uint32_t presence;
};

// Flag bits and the mask of the valid ones.
struct FlagsReport {
  static constexpr uint32_t VadRx = 1u << 29;
  static constexpr uint32_t VadTx = 1u << 30;
  static constexpr uint32_t SelcalInProgress = 1u << 31;
  uint32_t flags;
  uint32_t mask;
};

constexpr uint32_t ConfigureFunction = Request::ior('d', 1, Configure::Size);
constexpr uint32_t Enable = Request::ior('d', 2, Switch::Size);
constexpr uint32_t Disable = Request::ior('d', 3, Switch::Size);
// No argument: the result is the VAD version.
constexpr uint32_t VadVersion = Request::ior('d', 4, 4);
// The VAD parameters the driver takes from this version on.
constexpr int VadVersion2 = 2;

}  // namespace Dsp
}  // namespace Dev
}  // namespace Board
