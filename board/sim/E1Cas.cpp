#include "board/sim/E1Cas.h"

#include "board/sim/Hex.h"

#include <cerrno>

namespace Board {
namespace Sim {

namespace Cas = Dev::E1Cas;

const Answer<E1Cas> E1Cas::requestTable[] = {
    {Cas::TrunkOpen, "trunk-open", &E1Cas::trunkOpenClose, Form::Value},
    {Cas::TrunkClose, "trunk-close", &E1Cas::trunkOpenClose, Form::Value},
    {Cas::ChannelOpenClose, "channel-open-close", &E1Cas::channelOpenClose},
    {Cas::ChannelSet, "channel-set", &E1Cas::channelSet},
    {Cas::ChannelGet, "channel-get", &E1Cas::channelGet},
};

const Control<E1Cas> E1Cas::commandTable[] = {
    {"state", "", &E1Cas::stateCommand},
    {"rx", "TRUNK TIMESLOT BITS", &E1Cas::rxCommand},
    // Raw bytes as one event record, for records the driver should never write.
    {"event", "HEX", &E1Cas::rawCommand},
};

E1Cas::E1Cas() : Device("e1-cas", Cas::Path, HangupCommand) {
  answer(this, requestTable);
  control(this, commandTable);
}

E1Cas::Channel* E1Cas::lookup(Call& call) {
  const uint32_t trunk = uint32_t(call.in.get(Cas::Channel::Trunk));
  const uint32_t timeslot = uint32_t(call.in.get(Cas::Channel::Timeslot));
  if (!call.in.ok() || trunk >= Trunks || timeslot >= Timeslots || !trunks_[trunk].open) return nullptr;
  return &trunks_[trunk].channels[timeslot];
}

int E1Cas::trunkOpenClose(Call& call) {
  if (call.value >= Trunks) return -EINVAL;
  Trunk& t = trunks_[call.value];
  if (call.request == Cas::TrunkOpen) {
    t.open = true;
    return 0;
  }
  if (!t.open) return -EINVAL;
  t = Trunk{};
  return 0;
}

int E1Cas::channelOpenClose(Call& call) {
  Channel* c = lookup(call);
  if (!c) return -EINVAL;
  const uint32_t operation = call.in.get(Cas::OpenClose::Operation);
  if (operation == Cas::OpenClose::Open) {
    *c = Channel{true, c->rx, uint8_t(call.in.get(Cas::Channel::Tx) & Cas::TxBits)};
  } else if (operation == Cas::OpenClose::Close && c->open) {
    *c = Channel{false, c->rx, 0};
  } else {
    return -EINVAL;
  }
  return 0;
}

int E1Cas::channelSet(Call& call) {
  Channel* c = lookup(call);
  if (!c || !c->open) return -EINVAL;
  c->tx = call.in.get(Cas::Channel::Tx) & Cas::TxBits;
  return 0;
}

int E1Cas::channelGet(Call& call) {
  Channel* c = lookup(call);
  if (!c || !c->open) return -EINVAL;
  call.out.put(Cas::Channel::Rx, c->rx);
  call.out.put(Cas::Channel::Tx, c->tx);
  return 0;
}

size_t E1Cas::receive(unsigned trunk, unsigned timeslot, uint8_t rx) {
  Channel& c = trunks_.at(trunk).channels.at(timeslot);
  c.rx = rx;
  uint8_t record[Cas::Channel::Size] = {};
  RecordWriter out(record, sizeof record);
  out.put(Cas::Channel::Trunk, int32_t(trunk));
  out.put(Cas::Channel::Timeslot, int32_t(timeslot));
  out.put(Cas::Channel::Rx, c.rx);
  out.put(Cas::Channel::Tx, c.tx);
  return inject(record, sizeof record);
}

void E1Cas::stateCommand(Args&, Reply& reply) {
  for (unsigned t = 0; t < Trunks; ++t) {
    reply.line("trunk " + std::to_string(t) + (trunks_[t].open ? " open" : " closed"));
    for (unsigned s = 0; s < Timeslots; ++s) {
      const Channel& c = trunks_[t].channels[s];
      if (!c.open) continue;
      reply.line("channel " + std::to_string(t) + " " + std::to_string(s) + " rx " + Hex::number(c.rx) + " tx " +
                 Hex::number(c.tx));
    }
  }
}

void E1Cas::rxCommand(Args& args, Reply& reply) {
  const unsigned trunk = unsigned(args.number("trunk", 0, Trunks - 1));
  const unsigned timeslot = unsigned(args.number("timeslot", 0, Timeslots - 1));
  const uint8_t bits = uint8_t(args.number("bits", 0, 255));
  if (args) reply.line("reached " + std::to_string(receive(trunk, timeslot, bits)));
}

void E1Cas::resetState() { trunks_ = {}; }

}  // namespace Sim
}  // namespace Board
