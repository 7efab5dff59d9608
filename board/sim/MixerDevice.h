#pragma once
// The conference mixer driver "/dev/mixer": its units, each with a number of
// TDM channels and of mixer inputs, and per unit the summing points with
// the channels added into each (and their gains). A unit's channel n is
// switch channel ChannelBase + 128 * unit + n. The unit query walks the
// units in ascending order. The board has no unit at power-on: a test adds
// and removes them. Every request goes into the journal, and opens and
// closes are counted (the daemon opens the device anew for every request).

#include "board/dev/Mixer.h"
#include "board/sim/Device.h"

#include <cstdint>
#include <map>

namespace Board {
namespace Sim {

class MixerDevice : public Device {
public:
  static constexpr int32_t ChannelBase = 4096;
  static constexpr int32_t MaxChannels = 128;
  static constexpr int32_t MaxUnit = 1023;

  struct Unit {
    int32_t channels = 0;
    int32_t inputs = 0;                                    // channels that can be added, over all summing points
    std::map<int32_t, std::map<int32_t, int32_t>> points;  // summing point -> channel added -> gain
    size_t added() const;
  };

  MixerDevice();

  void opened(OpenFile&) override { ++opens_; }
  void closed(OpenFile&) override { ++closes_; }

  const std::map<int32_t, Unit>& units() const { return units_; }
  // Adds a unit, or changes its size (its summing points stay).
  void setUnit(int32_t unit, int32_t channels, int32_t inputs);
  bool removeUnit(int32_t unit);
  uint64_t opens() const { return opens_; }
  uint64_t closes() const { return closes_; }
  std::vector<std::string> state() const;

protected:
  void resetState() override;

private:
  static const Answer<MixerDevice> requestTable[];
  static const Control<MixerDevice> commandTable[];

  // A mix slot of the record, at `at`.
  struct Slot {
    int32_t unit, type, number;
  };
  static Slot slot(Call& call, size_t at);
  // The unit a slot names, with its channel number checked; null when invalid.
  Unit* lookup(const Slot& s);
  int unitQuery(Call& call);
  int rxClear(Call& call);
  int tdmChannel(Call& call);
  int rxAddRemove(Call& call);
  void stateCommand(Args& args, Reply& reply);
  void unitCommand(Args& args, Reply& reply);
  void removeCommand(Args& args, Reply& reply);

  std::map<int32_t, Unit> units_;
  uint64_t opens_ = 0;
  uint64_t closes_ = 0;
};

}  // namespace Sim
}  // namespace Board
