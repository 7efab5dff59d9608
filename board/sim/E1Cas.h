#pragma once
// The E1 CAS driver: trunks opened and closed for CAS, channels opened with
// their transmitted bits, set and read back; a test sets the received bits of
// a channel, which the driver reports as a channel record.

#include "board/dev/E1Cas.h"
#include "board/sim/Device.h"

#include <array>
#include <cstdint>

namespace Board {
namespace Sim {

class E1Cas : public Device {
public:
  static constexpr unsigned Trunks = Dev::E1Cas::Trunks;
  static constexpr unsigned Timeslots = Dev::E1Cas::Timeslots;

  struct Channel {
    bool open = false;
    uint8_t rx = 0;
    uint8_t tx = 0;
  };

  E1Cas();

  bool trunkOpen(unsigned trunk) const { return trunks_.at(trunk).open; }
  const Channel& channel(unsigned trunk, unsigned timeslot) const { return trunks_.at(trunk).channels.at(timeslot); }
  // Sets the received bits and reports the change; the number of descriptors reached.
  size_t receive(unsigned trunk, unsigned timeslot, uint8_t rx);

protected:
  void resetState() override;

private:
  static const Answer<E1Cas> requestTable[];
  static const Control<E1Cas> commandTable[];

  struct Trunk {
    bool open = false;
    std::array<Channel, Timeslots> channels;
  };
  // The channel a record names on an open trunk, null when there is none.
  Channel* lookup(Call& call);
  int trunkOpenClose(Call& call);
  int channelOpenClose(Call& call);
  int channelSet(Call& call);
  int channelGet(Call& call);
  void stateCommand(Args& args, Reply& reply);
  void rxCommand(Args& args, Reply& reply);

  std::array<Trunk, Trunks> trunks_;
};

}  // namespace Sim
}  // namespace Board
