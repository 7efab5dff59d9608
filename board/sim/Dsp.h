#pragma once
// The DSP processing driver "/dev/dsp": per timeslot the functions that are
// on (each with the id its enable gave) and the parameters each function
// was last configured with, as the 12 bytes of the request's record. The
// VAD version query answers a version a test sets (2 at power-on). Every
// request goes into the journal; a test injects the driver's events (VAD,
// SD, BSS, tone filter, flags).

#include "board/dev/Dsp.h"
#include "board/sim/Device.h"

#include <array>
#include <cstdint>
#include <map>

namespace Board {
namespace Sim {

class Dsp : public Device {
public:
  static constexpr uint32_t Timeslots = Dev::Dsp::Timeslots;
  static constexpr size_t ParamsSize = Dev::Dsp::Configure::Params.size;

  struct Channel {
    std::map<uint32_t, uint32_t> on;                                 // function bit -> id of its enable
    std::map<uint32_t, std::array<uint8_t, ParamsSize>> configured;  // function -> parameters
  };

  Dsp();

  const std::map<uint32_t, Channel>& channels() const { return channels_; }
  // The id a function of a timeslot was enabled with; 0 when it is off.
  uint32_t idOf(uint32_t timeslot, uint32_t function) const;
  void setVadVersion(int32_t version) { vadVersion_ = version; }

  // Reports an event; the number of descriptors reached.
  size_t event(uint32_t timeslot, uint32_t id, uint32_t type, uint32_t a, uint32_t b, uint32_t c);
  static std::vector<std::string> format(uint32_t timeslot, const Channel& c);

protected:
  void resetState() override;

private:
  static const Answer<Dsp> requestTable[];
  static const Control<Dsp> commandTable[];

  int configure(Call& call);
  int enableDisable(Call& call);
  int vadVersion(Call& call);
  void stateCommand(Args& args, Reply& reply);
  void versionCommand(Args& args, Reply& reply);
  // "<type> TIMESLOT W... [ID]": the id defaults to the one the function was enabled with.
  void injectEvent(uint32_t type, size_t words, Args& args, Reply& reply);
  void vadCommand(Args& args, Reply& reply) { injectEvent(Dev::Dsp::VadEvent, 3, args, reply); }
  void sdCommand(Args& args, Reply& reply) { injectEvent(Dev::Dsp::SdEvent, 1, args, reply); }
  void toneCommand(Args& args, Reply& reply) { injectEvent(Dev::Dsp::ToneEvent, 2, args, reply); }
  void flagsCommand(Args& args, Reply& reply) { injectEvent(Dev::Dsp::FlagsEvent, 2, args, reply); }
  void bssCommand(Args& args, Reply& reply);

  std::map<uint32_t, Channel> channels_;
  int32_t vadVersion_ = 2;
};

}  // namespace Sim
}  // namespace Board
