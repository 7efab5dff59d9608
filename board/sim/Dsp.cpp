#include "board/sim/Dsp.h"

#include "board/sim/Hex.h"

#include <cerrno>
#include <cstring>

namespace Board {
namespace Sim {

namespace Proc = Dev::Dsp;

namespace {

bool singleFunction(uint32_t f) { return f && !(f & (f - 1)) && (f & Proc::Functions); }

}  // namespace

const Answer<Dsp> Dsp::requestTable[] = {
    {Proc::ConfigureFunction, "configure", &Dsp::configure},
    {Proc::Enable, "enable", &Dsp::enableDisable},
    {Proc::Disable, "disable", &Dsp::enableDisable},
    {Proc::VadVersion, "vad-version", &Dsp::vadVersion, Form::Value},
};

const Control<Dsp> Dsp::commandTable[] = {
    {"state", "", &Dsp::stateCommand},
    {"version", "N", &Dsp::versionCommand},
    {"vad", "TIMESLOT DIRMASK RX TX [ID]", &Dsp::vadCommand},
    {"sd", "TIMESLOT VALUE [ID]", &Dsp::sdCommand},
    {"bss", "TIMESLOT SCORE", &Dsp::bssCommand},
    {"tone", "TIMESLOT FREQ PRESENCE [ID]", &Dsp::toneCommand},
    {"flags", "TIMESLOT FLAGS MASK [ID]", &Dsp::flagsCommand},
};

Dsp::Dsp() : Device("dsp", Proc::Path, JournalCommands | RawCommand | HangupCommand) {
  answer(this, requestTable);
  control(this, commandTable);
}

int Dsp::configure(Call& call) {
  const uint32_t ts = call.in.get(Proc::Configure::Timeslot);
  const uint32_t function = call.in.get(Proc::Configure::Function);
  std::array<uint8_t, ParamsSize> params;
  call.in.bytes(Proc::Configure::Params, params.data());
  if (!call.in.ok() || ts >= Timeslots || !singleFunction(function)) return -EINVAL;
  channels_[ts].configured[function] = params;
  call.journal(std::to_string(ts) + " " + Hex::number(function) + " " +
               Hex::encode(params.data(), ParamsSize, Hex::Lower));
  return 0;
}

int Dsp::enableDisable(Call& call) {
  const uint32_t ts = call.in.get(Proc::Switch::Timeslot);
  const uint32_t mask = call.in.get(Proc::Switch::Mask);
  if (!call.in.ok() || ts >= Timeslots || !mask || (mask & ~Proc::Functions)) return -EINVAL;
  Channel& c = channels_[ts];
  if (call.request == Proc::Enable) {
    const uint32_t id = call.in.get(Proc::Switch::Id);
    for (uint32_t bit = 1; bit <= mask; bit <<= 1) {
      if (mask & bit) c.on[bit] = id;
    }
    call.journal(std::to_string(ts) + " mask=" + Hex::number(mask) + " id=" + std::to_string(id));
  } else {
    for (uint32_t bit = 1; bit <= mask; bit <<= 1) {
      if (mask & bit) c.on.erase(bit);
    }
    call.journal(std::to_string(ts) + " mask=" + Hex::number(mask));
  }
  return 0;
}

int Dsp::vadVersion(Call& call) {
  call.journal();
  return vadVersion_;
}

uint32_t Dsp::idOf(uint32_t timeslot, uint32_t function) const {
  auto c = channels_.find(timeslot);
  if (c == channels_.end()) return 0;
  auto f = c->second.on.find(function);
  return f == c->second.on.end() ? 0 : f->second;
}

size_t Dsp::event(uint32_t timeslot, uint32_t id, uint32_t type, uint32_t a, uint32_t b, uint32_t c) {
  uint8_t record[Proc::Event::Size] = {};
  RecordWriter out(record, sizeof record);
  out.put(Proc::Event::Timeslot, timeslot);
  out.put(Proc::Event::Id, id);
  out.put(Proc::Event::Type, type);
  out.put(Proc::Event::Words[0], a);
  out.put(Proc::Event::Words[1], b);
  out.put(Proc::Event::Words[2], c);
  return inject(record, sizeof record);
}

std::vector<std::string> Dsp::format(uint32_t timeslot, const Channel& c) {
  std::vector<std::string> lines;
  const std::string ts = std::to_string(timeslot);
  for (const auto& f : c.on) lines.push_back(ts + " on " + Hex::number(f.first) + " id=" + std::to_string(f.second));
  for (const auto& f : c.configured) {
    lines.push_back(ts + " configured " + Hex::number(f.first) + " " +
                    Hex::encode(f.second.data(), ParamsSize, Hex::Lower));
  }
  return lines;
}

void Dsp::stateCommand(Args&, Reply& reply) {
  for (const auto& c : channels_) {
    for (const std::string& line : format(c.first, c.second)) reply.line(line);
  }
}

void Dsp::versionCommand(Args& args, Reply&) {
  const int32_t version = int32_t(args.number("version", INT32_MIN, INT32_MAX));
  if (args) setVadVersion(version);
}

void Dsp::injectEvent(uint32_t type, size_t words, Args& args, Reply& reply) {
  const uint32_t ts = uint32_t(args.number("timeslot", 0, Timeslots - 1));
  uint32_t w[3] = {0, 0, 0};
  for (size_t i = 0; i < words; ++i) w[i] = uint32_t(args.number("value", INT32_MIN, UINT32_MAX));
  const uint32_t id = uint32_t(args.number("id", INT32_MIN, UINT32_MAX, idOf(ts, type)));
  if (args) reply.line("reached " + std::to_string(event(ts, id, type, w[0], w[1], w[2])));
}

// The score as a decimal fraction, sent as its IEEE single bits.
void Dsp::bssCommand(Args& args, Reply& reply) {
  const uint32_t ts = uint32_t(args.number("timeslot", 0, Timeslots - 1));
  const float score = args.real("score");
  if (!args) return;
  uint32_t bits;
  std::memcpy(&bits, &score, sizeof bits);
  reply.line("reached " + std::to_string(event(ts, idOf(ts, Proc::BssEvent), Proc::BssEvent, bits, 0, 0)));
}

void Dsp::resetState() {
  channels_.clear();
  vadVersion_ = 2;
}

}  // namespace Sim
}  // namespace Board
