#pragma once
// The slots on a mixer unit's TDM channels. An input feeds the unit (and,
// optionally, is added into a summing point); an output carries the sum of
// its summing point. Each is a tone and a DSP receiver on its switch
// channel, so detectors and tone generation are switched through ioctl.

#include "hardware/DSProcReceiver.h"
#include "hardware/TonecReceiver.h"
#include "server/slot/Slot.h"

namespace Mixer {

class Mixer;

class MixerSlot : public Slot {
public:
  ~MixerSlot() override = default;
};

class TdmInput : public MixerSlot, public Hardware::TonecReceiver, public Hardware::DSProcReceiver {
public:
  TdmInput(Mixer& mixer, int number, int channel);
  // Its detectors and settings are switched off.
  ~TdmInput() override;

  bool IBeforeDestroy() override;
  bool IOnInputStream() override { return true; }
  int IGetReceiveChannel() override { return channel; }
  bool Ioctl(const LGCP::IoctlParams& params) override;
  const char* GetName() const override { return "mixer tdm input"; }

  unsigned tonec_timeslot() const override { return unsigned(channel); }
  unsigned dsproc_timeslot() const override { return unsigned(channel); }
  void tonec_event(const Board::Dev::Dtmf::EventReport& event) override { processTonecEvent(event); }
  void dsproc_vad_event(const Board::Dev::Dsp::VadReport& event) override { processVADEvent(event); }
  void dsproc_bss_event(const Board::Dev::Dsp::BssReport* event) override { processBSSEvent(event); }
  void dsproc_sd_event(const Board::Dev::Dsp::SdReport& event) override { processSDEvent(event); }
  void dsproc_tone_flt_event(const Board::Dev::Dsp::ToneReport* event) override { processToneFltEvent(event); }
  void dsproc_flags_event(const Board::Dev::Dsp::FlagsReport* event) override { processFlagsEvent(event); }

  Mixer& GetMixer() const { return mixer; }
  int GetNumber() const { return number; }
  int GetChannel() const { return channel; }
  int GetSummator() const { return summator; }
  void SetSummator(int value) {
    summatorSet = true;
    summator = value;
  }

private:
  Mixer& mixer;
  int number;
  int channel;
  bool summatorSet = false;
  int summator = -1;
};

class TdmOutput : public MixerSlot, public Hardware::TonecReceiver, public Hardware::DSProcReceiver {
public:
  TdmOutput(Mixer& mixer, int number, int channel);
  // Its detectors and settings are switched off.
  ~TdmOutput() override;

  bool IBeforeDestroy() override;
  bool IOnOutputStream() override { return true; }
  int IGetTransmitChannel() override { return channel; }
  bool Ioctl(const LGCP::IoctlParams& params) override;
  const char* GetName() const override { return "mixer tdm output"; }

  unsigned tonec_timeslot() const override { return unsigned(channel); }
  unsigned dsproc_timeslot() const override { return unsigned(channel); }
  // An output reports tone presence, flags and the end of a digit sequence only.
  void tonec_event(const Board::Dev::Dtmf::EventReport&) override {}
  void tone_gen_complete() override { processToneGenEvent(); }
  void dsproc_vad_event(const Board::Dev::Dsp::VadReport&) override {}
  void dsproc_bss_event(const Board::Dev::Dsp::BssReport*) override {}
  void dsproc_sd_event(const Board::Dev::Dsp::SdReport&) override {}
  void dsproc_tone_flt_event(const Board::Dev::Dsp::ToneReport* event) override { processToneFltEvent(event); }
  void dsproc_flags_event(const Board::Dev::Dsp::FlagsReport* event) override { processFlagsEvent(event); }

  Mixer& GetMixer() const { return mixer; }
  int GetNumber() const { return number; }
  int GetChannel() const { return channel; }

private:
  Mixer& mixer;
  int number;
  int channel;
};

}  // namespace Mixer
