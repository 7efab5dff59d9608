#include "board/sim/Dtmf.h"

#include <cerrno>

namespace Board {
namespace Sim {

namespace Tonec = Dev::Dtmf;

namespace {

const char* onOff(bool on) { return on ? "on" : "off"; }

}  // namespace

template <bool Dtmf::Channel::*Setting, bool On>
int Dtmf::turn(Call& call) {
  if (call.value >= Timeslots) return -EINVAL;
  channels_[uint32_t(call.value)].*Setting = On;
  call.journal(std::to_string(call.value));
  return 0;
}

const Answer<Dtmf> Dtmf::requestTable[] = {
    {Tonec::ConfigureDetector, "configure", &Dtmf::configure},
    {Tonec::EnableDetector, "enable", &Dtmf::enable},
    {Tonec::ToneGenerator, "tone", &Dtmf::tone},
    {Tonec::ConfigureIva, "iva-configure", &Dtmf::configureIva},
    {Tonec::SelcalDial, "selcal", &Dtmf::selcal},
    {Tonec::DisableDetector, "disable", &Dtmf::turn<&Channel::dtmf, false>, Form::Value},
    {Tonec::EchoCancelOn, "echo-on", &Dtmf::turn<&Channel::echo, true>, Form::Value},
    {Tonec::EchoCancelOff, "echo-off", &Dtmf::turn<&Channel::echo, false>, Form::Value},
    {Tonec::RejectionOn, "reject-on", &Dtmf::turn<&Channel::reject, true>, Form::Value},
    {Tonec::RejectionOff, "reject-off", &Dtmf::turn<&Channel::reject, false>, Form::Value},
    {Tonec::IvaOn, "iva-on", &Dtmf::turn<&Channel::iva, true>, Form::Value},
    {Tonec::IvaOff, "iva-off", &Dtmf::turn<&Channel::iva, false>, Form::Value},
};

const Control<Dtmf> Dtmf::commandTable[] = {
    {"state", "", &Dtmf::stateCommand},
    {"event", "TIMESLOT CODE [ID [TIMESTAMP]]", &Dtmf::eventCommand},
};

Dtmf::Dtmf() : Device("dtmf", Tonec::Path, JournalCommands | RawCommand | HangupCommand) {
  answer(this, requestTable);
  control(this, commandTable);
}

Dtmf::Channel* Dtmf::channel(Call& call) {
  const uint32_t timeslot = call.in.get(Tonec::Timeslot);
  if (!call.in.ok() || timeslot >= Timeslots) return nullptr;
  return &channels_[timeslot];
}

int Dtmf::configure(Call& call) {
  Channel* c = channel(call);
  if (!c) return -EINVAL;
  c->configured = true;
  c->twist = call.in.get(Tonec::Configure::Twist);
  c->ratio = call.in.get(Tonec::Configure::Ratio);
  c->silence = call.in.get(Tonec::Configure::Silence);
  c->noise = call.in.get(Tonec::Configure::Noise);
  call.journal(std::to_string(call.in.get(Tonec::Timeslot)) + " twist=" + std::to_string(c->twist) +
               " ratio=" + std::to_string(c->ratio) + " silence=" + std::to_string(c->silence) +
               " noise=" + std::to_string(c->noise));
  return 0;
}

int Dtmf::enable(Call& call) {
  Channel* c = channel(call);
  if (!c) return -EINVAL;
  c->dtmf = true;
  c->id = call.in.get(Tonec::Enable::Id);
  call.journal(std::to_string(call.in.get(Tonec::Timeslot)) + " id=" + std::to_string(c->id));
  return 0;
}

int Dtmf::tone(Call& call) {
  Channel* c = channel(call);
  if (!c) return -EINVAL;
  c->tone = {call.in.get(Tonec::Tone::Freq1), call.in.get(Tonec::Tone::Freq2), call.in.get(Tonec::Tone::Amp1),
             call.in.get(Tonec::Tone::Amp2)};
  std::string text = std::to_string(call.in.get(Tonec::Timeslot));
  for (uint16_t v : c->tone) text += " " + std::to_string(v);
  call.journal(text);
  return 0;
}

int Dtmf::configureIva(Call& call) {
  Channel* c = channel(call);
  if (!c) return -EINVAL;
  c->ivaConfigured = true;
  c->ivaLevel = call.in.get(Tonec::Iva::Level);
  call.journal(std::to_string(call.in.get(Tonec::Timeslot)) + " level=" + std::to_string(c->ivaLevel));
  return 0;
}

int Dtmf::selcal(Call& call) {
  if (call.in.get(Tonec::Selcal::Pad) != 0 || !channel(call)) return -EINVAL;
  char signs[Tonec::Selcal::SignCount];
  call.in.bytes(Tonec::Selcal::Signs, signs);
  std::string shown(signs, sizeof signs);
  for (char& s : shown) {
    if (s < 0x20 || s > 0x7E) s = '?';
  }
  call.journal(std::to_string(call.in.get(Tonec::Timeslot)) +
               " amp=" + std::to_string(call.in.get(Tonec::Selcal::Amplitude)) + " signs=" + shown);
  return 0;
}

size_t Dtmf::event(uint32_t timeslot, uint32_t code, uint32_t id, uint32_t timestamp) {
  uint8_t record[Tonec::Event::Size] = {};
  RecordWriter out(record, sizeof record);
  out.put(Tonec::Event::Code, code);
  out.put(Tonec::Event::Timeslot, timeslot);
  out.put(Tonec::Event::Timestamp, timestamp);
  out.put(Tonec::Event::Id, id);
  return inject(record, sizeof record);
}

std::string Dtmf::format(uint32_t timeslot, const Channel& c) {
  std::string line = std::to_string(timeslot) + " dtmf=" + onOff(c.dtmf) + " id=" + std::to_string(c.id);
  if (c.configured) {
    line += " twist=" + std::to_string(c.twist) + " ratio=" + std::to_string(c.ratio) +
            " silence=" + std::to_string(c.silence) + " noise=" + std::to_string(c.noise);
  }
  line += std::string(" iva=") + onOff(c.iva);
  if (c.ivaConfigured) line += " level=" + std::to_string(c.ivaLevel);
  line += std::string(" echo=") + onOff(c.echo) + " reject=" + onOff(c.reject) + " tone=" + std::to_string(c.tone[0]) +
          "," + std::to_string(c.tone[1]) + "," + std::to_string(c.tone[2]) + "," + std::to_string(c.tone[3]);
  return line;
}

void Dtmf::stateCommand(Args&, Reply& reply) {
  for (const auto& c : channels_) reply.line(format(c.first, c.second));
}

// The id defaults to the detector's current one.
void Dtmf::eventCommand(Args& args, Reply& reply) {
  const uint32_t timeslot = uint32_t(args.number("timeslot", 0, Timeslots - 1));
  const uint32_t code = uint32_t(args.number("code", 0, 0xFFFFFFFF));
  const auto known = channels_.find(timeslot);
  const uint32_t current = known == channels_.end() ? 0 : known->second.id;
  const uint32_t id = uint32_t(args.number("id", 0, 0xFFFFFFFF, current));
  const uint32_t timestamp = uint32_t(args.number("timestamp", 0, 0xFFFFFFFF, 0));
  if (args) reply.line("reached " + std::to_string(event(timeslot, code, id, timestamp)));
}

void Dtmf::resetState() { channels_.clear(); }

}  // namespace Sim
}  // namespace Board
