#include "board/sim/MixerDevice.h"

#include <cerrno>

namespace Board {
namespace Sim {

namespace Mix = Dev::Mixer;

namespace {

std::string at(int32_t unit, int32_t number) { return std::to_string(unit) + "." + std::to_string(number); }

}  // namespace

const Answer<MixerDevice> MixerDevice::requestTable[] = {
    {Mix::UnitQuery, "query", &MixerDevice::unitQuery},   {Mix::RxClear, "clear", &MixerDevice::rxClear},
    {Mix::TdmChannel, "tdm", &MixerDevice::tdmChannel},   {Mix::RxAdd, "add", &MixerDevice::rxAddRemove},
    {Mix::RxRemove, "remove", &MixerDevice::rxAddRemove},
};

const Control<MixerDevice> MixerDevice::commandTable[] = {
    {"state", "", &MixerDevice::stateCommand},
    {"unit", "UNIT CHANNELS INPUTS", &MixerDevice::unitCommand},
    {"remove", "UNIT", &MixerDevice::removeCommand},
};

size_t MixerDevice::Unit::added() const {
  size_t n = 0;
  for (const auto& p : points) n += p.second.size();
  return n;
}

MixerDevice::MixerDevice() : Device("mixer", Mix::Path, JournalCommands) {
  answer(this, requestTable);
  control(this, commandTable);
}

MixerDevice::Slot MixerDevice::slot(Call& call, size_t at) {
  return Slot{call.in.get(Mix::Slot::Unit + at), call.in.get(Mix::Slot::Type + at),
              call.in.get(Mix::Slot::Number + at)};
}

MixerDevice::Unit* MixerDevice::lookup(const Slot& s) {
  auto it = units_.find(s.unit);
  if (s.type != Mix::Slot::Tdm || it == units_.end() || s.number < 0 || s.number >= it->second.channels) {
    return nullptr;
  }
  return &it->second;
}

int MixerDevice::unitQuery(Call& call) {
  const int32_t after = call.in.get(Mix::Unit::Number);
  call.journal(std::to_string(after));
  auto next = units_.upper_bound(after);
  if (!call.in.ok() || next == units_.end()) return -ENODEV;
  call.out.put(Mix::Unit::Number, next->first);
  call.out.put(Mix::Unit::TdmChannels, next->second.channels);
  call.out.put(Mix::Unit::Unused, 0);
  call.out.put(Mix::Unit::MixerInputs, next->second.inputs);
  return 0;
}

int MixerDevice::rxClear(Call& call) {
  const Slot point = slot(call, 0);
  call.journal(at(point.unit, point.number));
  Unit* unit = lookup(point);
  if (!call.in.ok() || !unit) return -EINVAL;
  unit->points.erase(point.number);
  return 0;
}

int MixerDevice::tdmChannel(Call& call) {
  const Slot channel = slot(call, 0);
  call.journal(at(channel.unit, channel.number));
  if (!call.in.ok() || !lookup(channel)) return -EINVAL;
  return ChannelBase + MaxChannels * channel.unit + channel.number;
}

int MixerDevice::rxAddRemove(Call& call) {
  const Slot point = slot(call, Mix::Add::Point);
  const Slot input = slot(call, Mix::Add::Input);
  const std::string pair = at(point.unit, point.number) + " " + at(input.unit, input.number);
  Unit* unit = lookup(point);
  const bool valid = call.in.ok() && unit && lookup(input) == unit;
  if (call.request == Mix::RxRemove) {
    call.journal(pair);
    if (!valid) return -EINVAL;
    auto p = unit->points.find(point.number);
    if (p == unit->points.end() || !p->second.erase(input.number)) return -ENOENT;
    if (p->second.empty()) unit->points.erase(p);
    return 0;
  }
  const int32_t gain = call.in.get(Mix::Add::Gain);
  call.journal(pair + " gain=" + std::to_string(gain));
  if (!valid) return -EINVAL;
  auto& p = unit->points[point.number];
  if (!p.count(input.number) && unit->added() >= size_t(unit->inputs)) {
    if (p.empty()) unit->points.erase(point.number);
    return -ENOSPC;
  }
  p[input.number] = gain;
  return 0;
}

void MixerDevice::setUnit(int32_t unit, int32_t channels, int32_t inputs) {
  Unit& u = units_[unit];
  u.channels = channels;
  u.inputs = inputs;
}

bool MixerDevice::removeUnit(int32_t unit) { return units_.erase(unit) != 0; }

std::vector<std::string> MixerDevice::state() const {
  std::vector<std::string> lines;
  lines.push_back("opens=" + std::to_string(opens_) + " closes=" + std::to_string(closes_));
  for (const auto& u : units_) {
    lines.push_back("unit " + std::to_string(u.first) + " channels=" + std::to_string(u.second.channels) +
                    " inputs=" + std::to_string(u.second.inputs));
    for (const auto& p : u.second.points) {
      std::string line = "point " + at(u.first, p.first) + " <-";
      for (const auto& in : p.second) line += " " + at(u.first, in.first) + "*" + std::to_string(in.second);
      lines.push_back(line);
    }
  }
  return lines;
}

void MixerDevice::stateCommand(Args&, Reply& reply) {
  for (const std::string& line : state()) reply.line(line);
}

void MixerDevice::unitCommand(Args& args, Reply&) {
  const int32_t unit = int32_t(args.number("unit", 0, MaxUnit));
  const int32_t channels = int32_t(args.number("channels", 0, MaxChannels));
  const int32_t inputs = int32_t(args.number("inputs", 0, INT32_MAX));
  if (args) setUnit(unit, channels, inputs);
}

void MixerDevice::removeCommand(Args& args, Reply& reply) {
  const int32_t unit = int32_t(args.number("unit", 0, MaxUnit));
  if (args && !removeUnit(unit)) reply.fail("no such unit: " + std::to_string(unit));
}

void MixerDevice::resetState() {
  units_.clear();
  opens_ = closes_ = 0;
}

}  // namespace Sim
}  // namespace Board
