#pragma once
// The tone DSP driver "/dev/dtmf": per timeslot the DTMF detector (on with
// the id it was given, or off) and its settings, the IVA detector, the echo
// canceller, DTMF rejection and the tone generator's current tone. Every
// request goes into a journal with its time; a test injects detector
// events (digits, fax tones, IVA codes), which the driver reports as
// 16-byte records: code, timeslot, timestamp, detector id.

#include "board/sim/Device.h"
#include "board/sim/RequestJournal.h"

#include <array>
#include <cstdint>
#include <map>

namespace Board {
namespace Sim {

class Dtmf : public Device {
public:
  static const uint32_t ConfigureRequest;
  static const uint32_t EnableRequest;
  static const uint32_t DisableRequest;
  static const uint32_t ToneRequest;
  static const uint32_t EchoOnRequest;
  static const uint32_t EchoOffRequest;
  static const uint32_t RejectOnRequest;
  static const uint32_t RejectOffRequest;
  static const uint32_t IvaOnRequest;
  static const uint32_t IvaOffRequest;
  static const uint32_t IvaConfigureRequest;
  static const uint32_t SelcalRequest;
  static constexpr size_t EventSize = 16;
  // Timeslots the driver takes: every channel of the TDM switch.
  static constexpr uint32_t Timeslots = 8192 + 16 * 128;

  struct Channel {
    bool dtmf = false;
    uint32_t id = 0;  // of the last enable
    bool configured = false;
    uint32_t twist = 0, ratio = 0, silence = 0, noise = 0;
    bool iva = false;
    bool ivaConfigured = false;
    int32_t ivaLevel = 0;
    bool echo = false;
    bool reject = false;
    std::array<uint16_t, 4> tone{};  // freq1, freq2, amp1, amp2; all 0 is off
  };

  Dtmf();

  int ioctl(OpenFile&, uint32_t request, uint8_t* record, size_t len) override;
  int ioctlValue(OpenFile&, uint32_t request, unsigned long value) override;
  std::vector<Command> commands() const override;

  // The channels any request touched, by timeslot.
  const std::map<uint32_t, Channel>& channels() const { return channels_; }
  const RequestJournal& journal() const { return journal_; }
  void clearJournal() { journal_.clear(); }
  // Reports a detector event; the number of descriptors reached.
  size_t event(uint32_t timeslot, uint32_t code, uint32_t id, uint32_t timestamp);
  static std::array<uint8_t, EventSize> record(uint32_t timeslot, uint32_t code, uint32_t id, uint32_t timestamp);
  static std::string format(uint32_t timeslot, const Channel& c);

protected:
  void resetState() override;

private:
  std::map<uint32_t, Channel> channels_;
  RequestJournal journal_;
};

}  // namespace Sim
}  // namespace Board
