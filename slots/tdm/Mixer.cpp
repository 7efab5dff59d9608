#include "slots/tdm/Mixer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>

#include "foundation/os/Ext.h"
#include "slots/tdm/MixerFactory.h"
#include "slots/tdm/MixerSlots.h"

namespace Mixer {

Mixer::Mixer(int unit) : unit(unit) {}

Mixer::~Mixer() = default;

void Mixer::PutHeader(std::ostream& out) const { out << "mixer [" << unit << "]: "; }

mix_slot Mixer::Point(int number) const { return mix_slot{unit, mix_slot::Tdm, number}; }

bool Mixer::Channel2Slot(const LGCP::MixerChannel& channel, mix_slot& slot) const {
  slot = mix_slot{unit, 0, 0};
  if (channel.currentSelection() != LGCP::MixerChannel::e_tdm) return false;
  slot.type = mix_slot::Tdm;
  slot.number = channel.get_tdm().getValue();
  return true;
}

bool Mixer::ValidChannel(const LGCP::MixerChannel& channel) {
  if (channel.currentSelection() != LGCP::MixerChannel::e_tdm) return false;
  const int n = channel.get_tdm().getValue();
  return n >= 0 && n < MixerFactory::instance().TdmChannels();
}

int Mixer::channel2timeslot(int number) {
  const int channel = tdmChannel(Point(number));
  if (channel < 0) {
    std::cerr << ext::header(this) << "MIX_TDM"
              << " dev_no=" << unit << " type=" << mix_slot::Tdm << " number=" << number
              << " fail : " << std::strerror(errno) << std::endl;
    return -1;
  }
  return channel;
}

TdmInput* Mixer::New(const LGCP::MixerInParams& params) {
  if (!ValidChannel(params.get_channel())) return nullptr;
  const int number = params.get_channel().get_tdm().getValue();
  const int channel = channel2timeslot(number);
  if (channel < 0) return nullptr;
  auto* input = new TdmInput(*this, number, channel);
  if (params.hasOptionalField(LGCP::MixerInParams::o_summator)) {
    const LGCP::MixerChannel& summator = params.get_summator();
    // Only a TDM channel can be a summing point: anything else adds nothing.
    if (summator.currentSelection() != LGCP::MixerChannel::e_tdm) {
      std::cerr << ext::header(this) << "wrong summator coding !" << std::endl;
    } else {
      input->SetSummator(summator.get_tdm().getValue());
      if (addInput(Point(input->GetSummator()), Point(number), DefaultGain) < 0) {
        std::cerr << ext::header(this) << "MIX_RX_ADD"
                  << " fail : " << std::strerror(errno) << std::endl;
      }
    }
  }
  if (params.hasOptionalField(LGCP::MixerInParams::o_ecm)) {
    const LGCP::EchoCancelMode& ecm = params.get_ecm();
    input->echoCancel(ecm.get_ec().getValue() || ecm.get_es().getValue());
  }
  Register(input);
  return input;
}

TdmOutput* Mixer::New(const LGCP::MixerOutParams& params) {
  if (!SetTX(params)) return nullptr;
  if (!ValidChannel(params.get_channel())) return nullptr;
  const int number = params.get_channel().get_tdm().getValue();
  const int channel = channel2timeslot(number);
  if (channel < 0) return nullptr;
  auto* output = new TdmOutput(*this, number, channel);
  Register(output);
  return output;
}

bool Mixer::ClearTX(const mix_slot& point) {
  if (clearPoint(point) < 0) {
    std::cerr << ext::header(this) << "MIX_RX_CLEAR"
              << " dev_no=" << point.dev_no << " type=" << point.type << " number=" << point.number
              << " fail : " << std::strerror(errno) << std::endl;
    return false;
  }
  return true;
}

bool Mixer::SetTX(const LGCP::MixerOutParams& params) {
  mix_slot point;
  if (!Channel2Slot(params.get_channel(), point)) {
    std::clog << ext::header(this) << "ClearTX error: translation fail" << std::endl;
    return false;
  }
  if (!ClearTX(point)) return false;
  const auto& inputs = params.get_inputs();
  // Without inputs the output carries its own channel.
  if (inputs.size() == 0) {
    if (addInput(point, point, DefaultGain) < 0) {
      std::cerr << ext::header(this) << "MIX_RX_ADD"
                << " fail : " << std::strerror(errno) << std::endl;
      return false;
    }
    return true;
  }
  for (const LGCP::MixerInput& in : inputs) {
    mix_slot input;
    if (!Channel2Slot(in.get_channel(), input)) {
      std::clog << ext::header(this) << "SetTX error: translation fail [2]" << std::endl;
      return false;
    }
    if (addInput(point, input, in.get_gain().getValue()) < 0) {
      std::cerr << ext::header(this) << "MIX_RX_ADD"
                << " fail : " << std::strerror(errno) << std::endl;
      return false;
    }
  }
  return true;
}

namespace {

// A digit sequence still playing on the slot's channel is stopped.
void stopTones(Hardware::TonecReceiver& receiver) {
  if (!receiver.isBusy()) return;
  receiver.enableSilence();
  receiver.disableToneGenerator(true);
}

}  // namespace

void Mixer::Release(TdmInput& input) {
  stopTones(input);
  if (input.GetSummator() >= 0 && removeInput(Point(input.GetSummator()), Point(input.GetNumber())) < 0) {
    std::cerr << ext::header(this) << "MIX_RX_REMOVE"
              << " rx.number=" << input.GetSummator() << " tx.number=" << input.GetNumber()
              << " fail : " << std::strerror(errno) << std::endl;
  }
  UnRegister(&input);
}

void Mixer::Release(TdmOutput& output) {
  stopTones(output);
  std::clog << ext::header(this) << "clear tdm output " << output.GetNumber() << std::endl;
  ClearTX(Point(output.GetNumber()));
  UnRegister(&output);
}

void Mixer::Register(MixerSlot* slot) { slots.push_back(slot); }

void Mixer::UnRegister(MixerSlot* slot) {
  slots.remove(slot);
  CheckForDestroy();
}

void Mixer::CheckForDestroy() {
  if (slots.empty() && orphan) delete this;
}

void Mixer::Reset() {
  std::clog << ext::header(this) << "clear all inputs" << std::endl;
  int errors = 0;
  for (int k = 0; k < MixerFactory::instance().TdmChannels(); ++k) {
    if (clearPoint(Point(k)) < 0) ++errors;
  }
  if (errors) std::cerr << ext::header(this) << "reset fail: " << errors << " errors." << std::endl;
}

void Mixer::Clear() {
  // A slot's abort may lead to its destruction: walk a copy.
  const std::list<MixerSlot*> all = slots;
  for (MixerSlot* slot : all) slot->OnAbort(0);
  CheckForDestroy();
}

}  // namespace Mixer
