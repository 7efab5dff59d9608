#pragma once
// The tone DSP driver "/dev/dtmf": per timeslot a DTMF detector (enabled with
// an id that its events carry), an IVA detector, an echo canceller, DTMF
// rejection, a tone generator and a SELCAL dialler. Request records start
// with the timeslot; the switch requests pass the timeslot itself in place of
// a record. The driver reports detector events as event records.

#include <cstddef>
#include <cstdint>

#include "board/Paths.h"
#include "board/Record.h"
#include "board/Request.h"
#include "board/dev/Hal.h"

namespace Board {
namespace Dev {
namespace Dtmf {

constexpr const char* Path = Paths::Dtmf;

// Every channel of the TDM switch is a timeslot of the driver.
constexpr uint32_t Timeslots = Hal::Switch::Channels;

constexpr Field<uint32_t> Timeslot{0};

namespace Configure {
constexpr size_t Size = 20;
constexpr Field<uint32_t> Twist{4};
constexpr Field<uint32_t> Ratio{8};
constexpr Field<uint32_t> Silence{12};
constexpr Field<uint32_t> Noise{16};
}  // namespace Configure

namespace Enable {
constexpr size_t Size = 8;
constexpr Field<uint32_t> Id{4};
}  // namespace Enable

// Two frequencies and two amplitudes; all four 0 is silence.
namespace Tone {
constexpr size_t Size = 12;
constexpr Field<uint16_t> Freq1{4};
constexpr Field<uint16_t> Freq2{6};
constexpr Field<uint16_t> Amp1{8};
constexpr Field<uint16_t> Amp2{10};
}  // namespace Tone

namespace Iva {
constexpr size_t Size = 8;
constexpr Field<int32_t> Level{4};  // dB
}  // namespace Iva

// Four signs, as their characters; the record ends with two zero bytes.
namespace Selcal {
constexpr size_t Size = 12;
constexpr size_t SignCount = 4;
constexpr Field<uint16_t> Amplitude{4};
constexpr Bytes Signs{6, SignCount};
constexpr Field<uint16_t> Pad{10};
}  // namespace Selcal

// A detector event: codes 0..127 are DTMF (17 CED, 18 CNG), an IVA code N is N << 8.
namespace Event {
constexpr size_t Size = 16;
constexpr Field<uint32_t> Code{0};
constexpr Field<uint32_t> Timeslot{4};
constexpr Field<uint32_t> Timestamp{8};
constexpr Field<uint32_t> Id{12};
}  // namespace Event

// A detector event as the receiver hands it on.
struct EventReport {
  uint32_t code;
  uint32_t timestamp;
};

constexpr uint32_t ConfigureDetector = Request::ior('B', 2, Configure::Size);
constexpr uint32_t EnableDetector = Request::ior('B', 3, Enable::Size);
constexpr uint32_t ToneGenerator = Request::ior('B', 5, Tone::Size);
constexpr uint32_t ConfigureIva = Request::ior('B', 13, Iva::Size);
constexpr uint32_t SelcalDial = Request::ior('B', 14, Selcal::Size);

// Pass the timeslot itself.
constexpr uint32_t DisableDetector = Request::ior('B', 4, 4);
constexpr uint32_t EchoCancelOn = Request::ior('B', 6, 4);
constexpr uint32_t EchoCancelOff = Request::ior('B', 7, 4);
constexpr uint32_t RejectionOn = Request::ior('B', 9, 4);
constexpr uint32_t RejectionOff = Request::ior('B', 10, 4);
constexpr uint32_t IvaOn = Request::ior('B', 11, 4);
constexpr uint32_t IvaOff = Request::ior('B', 12, 4);

}  // namespace Dtmf
}  // namespace Dev
}  // namespace Board
