#pragma once
// The factory of mixer input and output slots. It learns the mixer units
// from the driver when the resources are queried (at most 100 per refresh)
// and reports them; before the first query it knows no unit and refuses
// every mixer slot.

#include <array>
#include <cstdint>
#include <iosfwd>
#include <vector>

#include "board/dev/Voice.h"
#include "server/slot/SlotFactory.h"
#include "slots/tdm/Mixer.h"

namespace Mixer {

class MixerFactory : public SlotFactory {
public:
  static constexpr unsigned MaxUnits = 100;
  // The voice driver's version: five words.
  static constexpr size_t VersionWords = Board::Dev::Voice::Version::Words;
  // DSP load figures reported per unit.
  static constexpr int DpuPerMixer = 770;
  static constexpr int DpuPerEc = 17;
  static constexpr int DpuPerLms = 24;

  static MixerFactory& instance();
  ~MixerFactory() override;

  const char* GetName() const override { return "Mixer"; }
  Slot* INewSlot(const LGCP::CreateParams& params) override;
  void Query(LGCP::Resources& resources) override;
  void PutHeader(std::ostream& out) const;

  // Learns the units anew: new ones are reset, vanished ones abort their slots.
  void RefreshResources();
  // The known unit with that number that is not an orphan; null when none.
  Mixer* findMixer(int unit) const;

  const std::vector<Mixer*>& Mixers() const { return mixers; }
  // The smallest channel and input counts over the units of the last refresh, -1 before any.
  int TdmChannels() const { return tdmChannels; }
  int MixerInputs() const { return mixerInputs; }
  bool VersionValid() const { return versionValid; }
  const std::array<uint32_t, VersionWords>& Version() const { return version; }

private:
  MixerFactory() = default;
  void ReadVersion();

  bool versionValid = false;
  std::array<uint32_t, VersionWords> version{};
  int mixerInputs = -1;
  int tdmChannels = -1;
  std::vector<Mixer*> mixers;
};

}  // namespace Mixer
