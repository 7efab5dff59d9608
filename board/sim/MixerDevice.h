#pragma once
// The conference mixer driver "/dev/mixer": its units, each with a number of
// TDM channels and of mixer inputs, and per unit the summing points with
// the channels added into each (and their gains). A unit's channel n is
// switch channel ChannelBase + 128 * unit + n. The unit query walks the
// units in ascending order. The board has no unit at power-on: a test adds
// and removes them. Every request goes into the journal, and opens and
// closes are counted (the daemon opens the device anew for every request).

#include "board/sim/Device.h"
#include "board/sim/RequestJournal.h"

#include <cstdint>
#include <map>

namespace Board {
namespace Sim {

class MixerDevice : public Device {
public:
  static const uint32_t ClearRequest;
  static const uint32_t AddRequest;
  static const uint32_t RemoveRequest;
  static const uint32_t TdmRequest;
  static const uint32_t UnitQueryRequest;
  static constexpr int32_t ChannelBase = 4096;
  static constexpr int32_t MaxChannels = 128;

  struct Unit {
    int32_t channels = 0;
    int32_t inputs = 0;  // channels that can be added, over all summing points
    std::map<int32_t, std::map<int32_t, int32_t>> points;  // summing point -> channel added -> gain
    size_t added() const;
  };

  MixerDevice();

  void opened(OpenFile&) override { ++opens_; }
  void closed(OpenFile&) override { ++closes_; }
  int ioctl(OpenFile&, uint32_t request, uint8_t* record, size_t len) override;
  std::vector<Command> commands() const override;

  const std::map<int32_t, Unit>& units() const { return units_; }
  // Adds a unit, or changes its size (its summing points stay).
  void setUnit(int32_t unit, int32_t channels, int32_t inputs);
  bool removeUnit(int32_t unit);
  uint64_t opens() const { return opens_; }
  uint64_t closes() const { return closes_; }
  const RequestJournal& journal() const { return journal_; }
  void clearJournal() { journal_.clear(); }
  std::vector<std::string> state() const;

protected:
  void resetState() override;

private:
  // The unit a mix_slot record at `at` names, with its channel number checked; null when invalid.
  Unit* lookup(const uint8_t* record, size_t len, size_t at, int32_t& number);

  std::map<int32_t, Unit> units_;
  uint64_t opens_ = 0;
  uint64_t closes_ = 0;
  RequestJournal journal_;
};

}  // namespace Sim
}  // namespace Board
