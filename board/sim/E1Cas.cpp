#include "board/sim/E1Cas.h"

#include "board/Paths.h"
#include "board/Record.h"
#include "board/Request.h"
#include "board/sim/ArgNumber.h"

#include <cerrno>
#include <cstdio>
#include <iterator>

namespace Board {
namespace Sim {

const uint32_t E1Cas::TrunkOpen = Request::iow('C', 0, 4);
const uint32_t E1Cas::TrunkClose = Request::iow('C', 1, 4);
const uint32_t E1Cas::ChannelSet = Request::iowr('C', 2, RecordSize);
const uint32_t E1Cas::ChannelGet = Request::iowr('C', 3, RecordSize);
const uint32_t E1Cas::ChannelOpenClose = Request::iowr('C', 4, RecordSize + 4);

namespace {

// Offsets in the channel record; the open-or-close operation word follows it.
enum : size_t { TrunkAt = 0, TimeslotAt = 4, RxAt = 8, TxAt = 9, OperationAt = 12 };
enum : uint32_t { OperationOpen = 0, OperationClose = 1 };
constexpr uint8_t TxBits = 0x0F;

std::string hexByte(uint8_t v) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%X", unsigned(v));
  return text;
}

void stateCommand(Device& d, const Args& args, Reply& reply) {
  if (!args.empty()) return reply.fail("usage: e1-cas state");
  const auto& cas = static_cast<const E1Cas&>(d);
  for (unsigned t = 0; t < E1Cas::Trunks; ++t) {
    reply.line("trunk " + std::to_string(t) + (cas.trunkOpen(t) ? " open" : " closed"));
    for (unsigned s = 0; s < E1Cas::Timeslots; ++s) {
      const E1Cas::Channel& c = cas.channel(t, s);
      if (!c.open) continue;
      reply.line("channel " + std::to_string(t) + " " + std::to_string(s) + " rx " + hexByte(c.rx) + " tx " +
                 hexByte(c.tx));
    }
  }
}

void rxCommand(Device& d, const Args& args, Reply& reply) {
  long trunk, timeslot, bits;
  if (args.size() != 3) return reply.fail("usage: e1-cas rx TRUNK TIMESLOT BITS");
  if (!argNumber(args[0], 0, E1Cas::Trunks - 1, trunk)) return reply.fail("bad trunk: " + args[0]);
  if (!argNumber(args[1], 0, E1Cas::Timeslots - 1, timeslot)) return reply.fail("bad timeslot: " + args[1]);
  if (!argNumber(args[2], 0, 255, bits)) return reply.fail("bad bits: " + args[2]);
  const size_t reached = static_cast<E1Cas&>(d).receive(unsigned(trunk), unsigned(timeslot), uint8_t(bits));
  reply.line("reached " + std::to_string(reached));
}

// Raw bytes as one event record, for records the driver should never write.
void eventCommand(Device& d, const Args& args, Reply& reply) {
  if (args.size() != 1 || args[0].size() % 2) return reply.fail("usage: e1-cas event HEX");
  std::string bytes;
  for (size_t i = 0; i < args[0].size(); i += 2) {
    long v;
    if (!argNumber("0x" + args[0].substr(i, 2), 0, 255, v)) return reply.fail("bad hex: " + args[0]);
    bytes += char(v);
  }
  reply.line("reached " + std::to_string(d.inject(bytes.data(), bytes.size())));
}

}  // namespace

E1Cas::E1Cas() : Device("e1-cas", Paths::E1Cas) {}

E1Cas::Channel* E1Cas::lookup(const uint8_t* record, size_t len) {
  RecordReader in(record, len);
  const uint32_t trunk = in.u32(TrunkAt);
  const uint32_t timeslot = in.u32(TimeslotAt);
  if (!in.ok() || trunk >= Trunks || timeslot >= Timeslots) return nullptr;
  return &trunks_[trunk].channels[timeslot];
}

int E1Cas::ioctl(OpenFile&, uint32_t request, uint8_t* record, size_t len) {
  if (request != ChannelSet && request != ChannelGet && request != ChannelOpenClose) return -ENOTTY;
  Channel* c = lookup(record, len);
  if (!c || !trunks_[RecordReader(record, len).u32(TrunkAt)].open) return -EINVAL;
  if (request == ChannelOpenClose) {
    const uint32_t operation = RecordReader(record, len).u32(OperationAt);
    if (operation == OperationOpen) {
      *c = Channel{true, c->rx, uint8_t(record[TxAt] & TxBits)};
    } else if (operation == OperationClose && c->open) {
      *c = Channel{false, c->rx, 0};
    } else {
      return -EINVAL;
    }
    return 0;
  }
  if (!c->open) return -EINVAL;
  if (request == ChannelSet) {
    c->tx = record[TxAt] & TxBits;
  } else {
    RecordWriter out(record, len);
    out.u8(RxAt, c->rx);
    out.u8(TxAt, c->tx);
  }
  return 0;
}

int E1Cas::ioctlValue(OpenFile&, uint32_t request, unsigned long value) {
  if (request != TrunkOpen && request != TrunkClose) return -ENOTTY;
  if (value >= Trunks) return -EINVAL;
  Trunk& t = trunks_[value];
  if (request == TrunkOpen) {
    t.open = true;
    return 0;
  }
  if (!t.open) return -EINVAL;
  t = Trunk{};
  return 0;
}

size_t E1Cas::receive(unsigned trunk, unsigned timeslot, uint8_t rx) {
  Channel& c = trunks_.at(trunk).channels.at(timeslot);
  c.rx = rx;
  const auto record = event(trunk, timeslot, c);
  return inject(record.data(), record.size());
}

std::array<uint8_t, E1Cas::RecordSize> E1Cas::event(unsigned trunk, unsigned timeslot, const Channel& c) {
  std::array<uint8_t, RecordSize> record{};
  RecordWriter out(record.data(), record.size());
  out.u32(TrunkAt, trunk);
  out.u32(TimeslotAt, timeslot);
  out.u8(RxAt, c.rx);
  out.u8(TxAt, c.tx);
  return record;
}

std::vector<Command> E1Cas::commands() const {
  static const Command table[] = {
      {"state", "", stateCommand},
      {"rx", "TRUNK TIMESLOT BITS", rxCommand},
      {"event", "HEX", eventCommand},
  };
  return {std::begin(table), std::end(table)};
}

void E1Cas::resetState() { trunks_ = {}; }

}  // namespace Sim
}  // namespace Board
