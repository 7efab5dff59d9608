#pragma once
// The tone DSP driver "/dev/dtmf": per timeslot the DTMF detector (on with
// the id it was given, or off) and its settings, the IVA detector, the echo
// canceller, DTMF rejection and the tone generator's current tone. Every
// request goes into the journal; a test injects detector events (digits,
// fax tones, IVA codes) as the driver reports them.

#include "board/dev/Dtmf.h"
#include "board/sim/Device.h"

#include <array>
#include <cstdint>
#include <map>

namespace Board {
namespace Sim {

class Dtmf : public Device {
public:
  static constexpr uint32_t Timeslots = Dev::Dtmf::Timeslots;

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

  // The channels any request touched, by timeslot.
  const std::map<uint32_t, Channel>& channels() const { return channels_; }
  // Reports a detector event; the number of descriptors reached.
  size_t event(uint32_t timeslot, uint32_t code, uint32_t id, uint32_t timestamp);
  static std::string format(uint32_t timeslot, const Channel& c);

protected:
  void resetState() override;

private:
  static const Answer<Dtmf> requestTable[];
  static const Control<Dtmf> commandTable[];

  // The channel of the record's timeslot, null when out of range.
  Channel* channel(Call& call);
  int configure(Call& call);
  int enable(Call& call);
  int tone(Call& call);
  int configureIva(Call& call);
  int selcal(Call& call);
  // A request that switches one setting of the timeslot it passes by value.
  template <bool Channel::*Setting, bool On>
  int turn(Call& call);
  void stateCommand(Args& args, Reply& reply);
  void eventCommand(Args& args, Reply& reply);

  std::map<uint32_t, Channel> channels_;
};

}  // namespace Sim
}  // namespace Board
