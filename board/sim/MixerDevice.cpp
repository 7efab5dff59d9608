#include "board/sim/MixerDevice.h"

#include "board/Paths.h"
#include "board/Record.h"
#include "board/Request.h"
#include "board/sim/ArgNumber.h"

#include <cerrno>
#include <iterator>

namespace Board {
namespace Sim {

const uint32_t MixerDevice::ClearRequest = Request::iow('M', 2, 12);
const uint32_t MixerDevice::AddRequest = Request::iow('M', 3, 28);
const uint32_t MixerDevice::RemoveRequest = Request::iow('M', 4, 28);
const uint32_t MixerDevice::TdmRequest = Request::iow('M', 6, 12);
const uint32_t MixerDevice::UnitQueryRequest = Request::iow('M', 7, 16);

namespace {

// A mix_slot: unit, type (0: TDM channel), channel number. The add record
// holds two of them (summing point, channel added) and the gain.
enum : size_t { UnitAt = 0, TypeAt = 4, NumberAt = 8, SlotSize = 12 };
enum : size_t { RxAt = 0, TxAt = 12, GainAt = 24 };
// The unit record.
enum : size_t { QueryUnitAt = 0, QueryChannelsAt = 4, QueryUnusedAt = 8, QueryInputsAt = 12 };
constexpr int32_t TdmType = 0;
constexpr int32_t MaxUnit = 1023;

std::string at(int32_t unit, int32_t number) { return std::to_string(unit) + "." + std::to_string(number); }

MixerDevice& mixer(Device& d) { return static_cast<MixerDevice&>(d); }

void stateCommand(Device& d, const Args& args, Reply& reply) {
  if (!args.empty()) return reply.fail("usage: mixer state");
  for (const std::string& line : mixer(d).state()) reply.line(line);
}

void journalCommand(Device& d, const Args& args, Reply& reply) {
  if (!args.empty()) return reply.fail("usage: mixer journal");
  mixer(d).journal().put(reply);
}

void clearCommand(Device& d, const Args& args, Reply& reply) {
  if (!args.empty()) return reply.fail("usage: mixer clear");
  mixer(d).clearJournal();
}

void unitCommand(Device& d, const Args& args, Reply& reply) {
  long unit, channels, inputs;
  if (args.size() != 3) return reply.fail("usage: mixer unit UNIT CHANNELS INPUTS");
  if (!argNumber(args[0], 0, MaxUnit, unit)) return reply.fail("bad unit: " + args[0]);
  if (!argNumber(args[1], 0, MixerDevice::MaxChannels, channels)) return reply.fail("bad channels: " + args[1]);
  if (!argNumber(args[2], 0, 0x7FFFFFFF, inputs)) return reply.fail("bad inputs: " + args[2]);
  mixer(d).setUnit(int32_t(unit), int32_t(channels), int32_t(inputs));
}

void removeCommand(Device& d, const Args& args, Reply& reply) {
  long unit;
  if (args.size() != 1 || !argNumber(args[0], 0, MaxUnit, unit)) return reply.fail("usage: mixer remove UNIT");
  if (!mixer(d).removeUnit(int32_t(unit))) reply.fail("no such unit: " + args[0]);
}

}  // namespace

size_t MixerDevice::Unit::added() const {
  size_t n = 0;
  for (const auto& p : points) n += p.second.size();
  return n;
}

MixerDevice::MixerDevice() : Device("mixer", Paths::Mixer) { resetState(); }

MixerDevice::Unit* MixerDevice::lookup(const uint8_t* record, size_t len, size_t at, int32_t& number) {
  RecordReader in(record, len);
  const int32_t unit = in.s32(at + UnitAt);
  const int32_t type = in.s32(at + TypeAt);
  number = in.s32(at + NumberAt);
  auto it = units_.find(unit);
  if (!in.ok() || type != TdmType || it == units_.end() || number < 0 || number >= it->second.channels) {
    return nullptr;
  }
  return &it->second;
}

int MixerDevice::ioctl(OpenFile&, uint32_t request, uint8_t* record, size_t len) {
  RecordReader in(record, len);
  if (request == UnitQueryRequest) {
    const int32_t after = in.s32(QueryUnitAt);
    journal_.add("query " + std::to_string(after));
    auto next = units_.upper_bound(after);
    if (!in.ok() || next == units_.end()) return -ENODEV;
    RecordWriter out(record, len);
    out.u32(QueryUnitAt, uint32_t(next->first));
    out.u32(QueryChannelsAt, uint32_t(next->second.channels));
    out.u32(QueryUnusedAt, 0);
    out.u32(QueryInputsAt, uint32_t(next->second.inputs));
    return 0;
  }
  if (request != ClearRequest && request != AddRequest && request != RemoveRequest && request != TdmRequest) {
    return -ENOTTY;
  }
  int32_t rx;
  Unit* unit = lookup(record, len, RxAt, rx);
  const int32_t unitNo = in.s32(RxAt + UnitAt);
  if (request == TdmRequest) {
    journal_.add("tdm " + at(unitNo, in.s32(NumberAt)));
    if (!unit) return -EINVAL;
    return ChannelBase + MaxChannels * unitNo + rx;
  }
  if (request == ClearRequest) {
    journal_.add("clear " + at(unitNo, in.s32(NumberAt)));
    if (!unit) return -EINVAL;
    unit->points.erase(rx);
    return 0;
  }
  int32_t tx;
  Unit* txUnit = lookup(record, len, TxAt, tx);
  const std::string pair = at(unitNo, in.s32(RxAt + NumberAt)) + " " + at(in.s32(TxAt + UnitAt), in.s32(TxAt + NumberAt));
  if (request == RemoveRequest) {
    journal_.add("remove " + pair);
    if (!unit || txUnit != unit) return -EINVAL;
    auto point = unit->points.find(rx);
    if (point == unit->points.end() || !point->second.erase(tx)) return -ENOENT;
    if (point->second.empty()) unit->points.erase(point);
    return 0;
  }
  const int32_t gain = in.s32(GainAt);
  journal_.add("add " + pair + " gain=" + std::to_string(gain));
  if (!unit || txUnit != unit) return -EINVAL;
  auto& point = unit->points[rx];
  if (!point.count(tx) && unit->added() >= size_t(unit->inputs)) {
    if (point.empty()) unit->points.erase(rx);
    return -ENOSPC;
  }
  point[tx] = gain;
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

std::vector<Command> MixerDevice::commands() const {
  static const Command table[] = {
      {"state", "", stateCommand},
      {"journal", "", journalCommand},
      {"clear", "", clearCommand},
      {"unit", "UNIT CHANNELS INPUTS", unitCommand},
      {"remove", "UNIT", removeCommand},
  };
  return {std::begin(table), std::end(table)};
}

void MixerDevice::resetState() {
  units_.clear();
  opens_ = closes_ = 0;
  journal_.clear();
}

}  // namespace Sim
}  // namespace Board
