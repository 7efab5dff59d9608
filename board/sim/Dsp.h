#pragma once
// The DSP processing driver "/dev/dsp": per timeslot the functions that are
// on (each with the id its enable gave) and the parameters each function
// was last configured with, as the 12 bytes of the request's record. The
// VAD version query answers a version a test sets (2 at power-on). Every
// request goes into a journal; a test injects the driver's events (VAD, SD,
// BSS, tone filter, flags) as 24-byte records: timeslot, id, type and three
// words.

#include "board/sim/Device.h"
#include "board/sim/RequestJournal.h"

#include <array>
#include <cstdint>
#include <map>

namespace Board {
namespace Sim {

class Dsp : public Device {
public:
  static const uint32_t ConfigureRequest;
  static const uint32_t EnableRequest;
  static const uint32_t DisableRequest;
  static const uint32_t VadVersionRequest;
  static constexpr size_t EventSize = 24;
  static constexpr size_t ParamsSize = 12;
  static constexpr uint32_t Timeslots = 8192 + 16 * 128;
  // Function bits: VAD, SD, mute rx, mute tx, BSS, delays, rx gain, NG, tone filter, SELCAL_SH.
  static constexpr uint32_t Functions = 0x5FF;
  enum EventType : uint32_t { Vad = 0x1, Sd = 0x2, Bss = 0x10, ToneFilter = 0x100, Flags = 0x200 };

  struct Channel {
    std::map<uint32_t, uint32_t> on;  // function bit -> id of its enable
    std::map<uint32_t, std::array<uint8_t, ParamsSize>> configured;  // function -> parameters
  };

  Dsp();

  int ioctl(OpenFile&, uint32_t request, uint8_t* record, size_t len) override;
  int ioctlValue(OpenFile&, uint32_t request, unsigned long value) override;
  std::vector<Command> commands() const override;

  const std::map<uint32_t, Channel>& channels() const { return channels_; }
  // The id a function of a timeslot was enabled with; 0 when it is off.
  uint32_t idOf(uint32_t timeslot, uint32_t function) const;
  const RequestJournal& journal() const { return journal_; }
  void clearJournal() { journal_.clear(); }
  void setVadVersion(int32_t version) { vadVersion_ = version; }

  // Reports an event; the number of descriptors reached.
  size_t event(uint32_t timeslot, uint32_t id, uint32_t type, uint32_t a, uint32_t b, uint32_t c);
  static std::array<uint8_t, EventSize> record(uint32_t timeslot, uint32_t id, uint32_t type, uint32_t a, uint32_t b,
                                               uint32_t c);
  static std::vector<std::string> format(uint32_t timeslot, const Channel& c);

protected:
  void resetState() override;

private:
  std::map<uint32_t, Channel> channels_;
  RequestJournal journal_;
  int32_t vadVersion_ = 2;
};

}  // namespace Sim
}  // namespace Board
