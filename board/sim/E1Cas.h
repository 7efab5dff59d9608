#pragma once
// The E1 CAS driver: trunks opened and closed for CAS, channels opened with
// their transmitted bits, set and read back; a test sets the received bits of
// a channel, which the driver reports as a 12-byte change event.

#include "board/sim/Device.h"

#include <array>
#include <cstdint>

namespace Board {
namespace Sim {

class E1Cas : public Device {
public:
  static constexpr unsigned Trunks = 4;
  static constexpr unsigned Timeslots = 32;
  static const uint32_t TrunkOpen;
  static const uint32_t TrunkClose;
  static const uint32_t ChannelSet;
  static const uint32_t ChannelGet;
  static const uint32_t ChannelOpenClose;
  // The channel record, also the change event read from the descriptor.
  static constexpr size_t RecordSize = 12;

  struct Channel {
    bool open = false;
    uint8_t rx = 0;
    uint8_t tx = 0;
  };

  E1Cas();

  int ioctl(OpenFile&, uint32_t request, uint8_t* record, size_t len) override;
  int ioctlValue(OpenFile&, uint32_t request, unsigned long value) override;
  std::vector<Command> commands() const override;

  bool trunkOpen(unsigned trunk) const { return trunks_.at(trunk).open; }
  const Channel& channel(unsigned trunk, unsigned timeslot) const { return trunks_.at(trunk).channels.at(timeslot); }
  // Sets the received bits and reports the change; the number of descriptors reached.
  size_t receive(unsigned trunk, unsigned timeslot, uint8_t rx);
  // The channel's change event as the driver writes it.
  static std::array<uint8_t, RecordSize> event(unsigned trunk, unsigned timeslot, const Channel& c);

protected:
  void resetState() override;

private:
  struct Trunk {
    bool open = false;
    std::array<Channel, Timeslots> channels;
  };
  // The channel a record names, null when out of range.
  Channel* lookup(const uint8_t* record, size_t len);

  std::array<Trunk, Trunks> trunks_;
};

}  // namespace Sim
}  // namespace Board
