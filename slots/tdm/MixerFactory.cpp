#include "slots/tdm/MixerFactory.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>

#include "board/DevicePaths.h"
#include "foundation/os/Ext.h"
#include "hardware/VoiceDevice.h"
#include "slots/tdm/MixerSlots.h"

namespace Mixer {

MixerFactory& MixerFactory::instance() {
  static MixerFactory factory;
  return factory;
}

// A unit that still has slots lives on until its last slot leaves.
MixerFactory::~MixerFactory() {
  for (Mixer* mixer : mixers) {
    mixer->SetOrphan(true);
    mixer->CheckForDestroy();
  }
}

void MixerFactory::PutHeader(std::ostream& out) const { out << "mixer: "; }

Slot* MixerFactory::INewSlot(const LGCP::CreateParams& params) {
  if (params.currentSelection() == LGCP::CreateParams::e_mixerOut) {
    Mixer* mixer = findMixer(params.get_mixerOut().get_unit().getValue());
    return mixer ? mixer->New(params.get_mixerOut()) : nullptr;
  }
  if (params.currentSelection() == LGCP::CreateParams::e_mixerIn) {
    Mixer* mixer = findMixer(params.get_mixerIn().get_unit().getValue());
    return mixer ? mixer->New(params.get_mixerIn()) : nullptr;
  }
  return nullptr;
}

Mixer* MixerFactory::findMixer(int unit) const {
  for (Mixer* mixer : mixers) {
    if (mixer->GetUnit() == unit && !mixer->IsOrphan()) return mixer;
  }
  return nullptr;
}

void MixerFactory::RefreshResources() {
  // The unit query opens the device for itself, and ends the list as it fails: a device that is not there
  // would only look like a board without mixers.
  if (probeDevice() < 0)
    std::cerr << ext::header(this) << "device " << ext::quoted(GetMixerDevName())
              << " open fail: " << std::strerror(errno) << std::endl;
  for (Mixer* mixer : mixers) mixer->SetOrphan(true);
  mix_unit record;
  tdmChannels = mixerInputs = -1;
  for (unsigned learnt = 0; learnt < MaxUnits && queryUnit(record) >= 0; ++learnt) {
    mixerInputs = mixerInputs < 0 ? record.mixerInputs : std::min(mixerInputs, record.mixerInputs);
    tdmChannels = tdmChannels < 0 ? record.tdmChannels : std::min(tdmChannels, record.tdmChannels);
    auto known = std::find_if(mixers.begin(), mixers.end(), [&](Mixer* m) { return m->GetUnit() == record.unit; });
    if (known != mixers.end()) {
      (*known)->SetOrphan(false);
      continue;
    }
    mixers.push_back(new Mixer(record.unit));
    mixers.back()->Reset();
  }
  std::vector<Mixer*> gone;
  for (Mixer* mixer : mixers) {
    if (mixer->IsOrphan()) gone.push_back(mixer);
  }
  mixers.erase(std::remove_if(mixers.begin(), mixers.end(), [](Mixer* m) { return m->IsOrphan(); }), mixers.end());
  for (Mixer* mixer : gone) mixer->Clear();
  ReadVersion();
}

void MixerFactory::ReadVersion() {
  const Fd voice = VoiceDevice::open();
  if (!voice) {
    std::cerr << ext::header(this) << "device " << ext::quoted(GetVoiceDevName())
              << " open fail: " << std::strerror(errno) << std::endl;
    versionValid = false;
    return;
  }
  versionValid = VoiceDevice::version(voice, version);
}

void MixerFactory::Query(LGCP::Resources& resources) {
  RefreshResources();
  auto& list = resources.get_mixer();
  list.clear();
  for (Mixer* mixer : mixers) {
    LGCP::MixerResources_subtype unit;
    unit.set_unit(mixer->GetUnit());
    unit.set_tdm_inputs(std::max(tdmChannels, 0));
    unit.set_tdm_outputs(std::max(tdmChannels, 0));
    unit.set_mixer_inputs(std::max(mixerInputs, 0));
    unit.set_dpu_per_mixer(DpuPerMixer);
    unit.set_dpu_per_ec(DpuPerEc);
    unit.set_dpu_per_lms(DpuPerLms);
    list.push_back(unit);
  }
}

}  // namespace Mixer
