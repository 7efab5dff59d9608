#include "slots/tdm/MixerSlots.h"

#include <iostream>
#include <optional>

#include "foundation/os/Ext.h"
#include "hardware/HwMux.h"
#include "slots/tdm/Mixer.h"

namespace Mixer {

namespace {

using P = LGCP::IoctlParams;

template <class Receiver>
void toneFilter(Receiver& slot, const LGCP::ToneFilter& f) {
  slot.configureToneFilter(unsigned(f.get_freq().getValue()), f.get_enable().getValue(),
                           f.get_duration_th_msec().getValue(), f.get_det_level_dB().getValue());
}

template <class Receiver>
void delays(Receiver& slot, Mixer& mixer, const LGCP::Delays& d) {
  auto value = [&](unsigned id, const ASN1::INTEGER& v) {
    return d.hasOptionalField(id) ? unsigned(v.getValue()) : 0u;
  };
  if (d.hasOptionalField(LGCP::Delays::o_selcal)) {
    std::cerr << ext::header(&mixer) << "error: selcal delay isn't supported for mixer!!! Set to zero." << std::endl;
  }
  slot.configureDelays(value(LGCP::Delays::o_rx, d.get_rx()), value(LGCP::Delays::o_tx, d.get_tx()), 0);
}

// The requests inputs and outputs answer alike; nothing when the request is not one of them.
template <class S>
std::optional<bool> common(S& slot, Mixer& mixer, const P& p) {
  switch (p.currentSelection()) {
    case P::e_translateDTMF: slot.translateDTMF(p.get_translateDTMF()); return true;
    case P::e_dtmf_params: return slot.configureDTMF(p.get_dtmf_params());
    case P::e_vad_params: return slot.configureVAD(p.get_vad_params());
    case P::e_vad_enable: return slot.enableVAD(p.get_vad_enable().getValue());
    case P::e_vad_disable: return slot.disableVAD();
    case P::e_sd_params: return slot.configureSD();
    case P::e_sd_enable: return slot.enableSD(p.get_sd_enable().getValue());
    case P::e_sd_disable: return slot.disableSD();
    case P::e_iva_enable: return slot.enableIVA(p.get_iva_enable().getValue());
    case P::e_delays: delays(slot, mixer, p.get_delays()); return true;
    case P::e_tone_filter: toneFilter(slot, p.get_tone_filter()); return true;
    default: return std::nullopt;
  }
}

}  // namespace

TdmInput::TdmInput(Mixer& mixer, int number, int channel) : mixer(mixer), number(number), channel(channel) {}

TdmInput::~TdmInput() {
  TonecReceiver::CleanBeforeDestroy();
  DSProcReceiver::CleanBeforeDestroy();
}

bool TdmInput::IBeforeDestroy() {
  HwMux::instance().Disable(channel);
  mixer.Release(*this);
  return true;
}

bool TdmInput::Ioctl(const LGCP::IoctlParams& p) {
  if (const auto answer = common(*this, mixer, p)) return *answer;
  switch (p.currentSelection()) {
    case P::e_echoSuppressor: return echoCancel(p.get_echoSuppressor().getValue());
    case P::e_dtmf_enable: return enableDTMF(p.get_dtmf_enable().getValue());
    case P::e_dtmf_reject_enable: return enableDTMFReject(p.get_dtmf_reject_enable().getValue());
    case P::e_iva_params: return configureIVA(p.get_iva_params());
    case P::e_rx_gain: configureRxGain((signed char)(p.get_rx_gain().get_gainDB().getValue())); return true;
    default: return false;
  }
}

TdmOutput::TdmOutput(Mixer& mixer, int number, int channel) : mixer(mixer), number(number), channel(channel) {}

TdmOutput::~TdmOutput() {
  TonecReceiver::CleanBeforeDestroy();
  DSProcReceiver::CleanBeforeDestroy();
}

bool TdmOutput::IBeforeDestroy() {
  HwMux::instance().Disable(channel);
  mixer.Release(*this);
  return true;
}

bool TdmOutput::Ioctl(const LGCP::IoctlParams& p) {
  if (const auto answer = common(*this, mixer, p)) return *answer;
  switch (p.currentSelection()) {
    case P::e_dtmf_disable: return disableToneGenerator(false);
    case P::e_dtmf_reject_disable: return enableDTMFReject(false);
    case P::e_tone_gen_enable: {
      const LGCP::ToneGenerator& tone = p.get_tone_gen_enable();
      disableToneGenerator(false);
      enableToneGenerator((unsigned short)(tone.get_freq().getValue()), 0, (unsigned short)(tone.get_amp().getValue()),
                          0);
      return true;
    }
    case P::e_tone_gen_disable: disableToneGenerator(true); return true;
    default: return false;
  }
}

}  // namespace Mixer
