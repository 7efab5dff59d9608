#include "board/sim/Mcc.h"

#include "board/sim/Hex.h"

#include <cerrno>
#include <sys/socket.h>

namespace Board {
namespace Sim {

namespace Ctl = Dev::Mcc;

const Answer<Mcc> Mcc::requestTable[] = {
    {Ctl::Allocate, "allocate", &Mcc::allocate},
    {Ctl::Timeslot, "timeslot", &Mcc::timeslot, Form::Value},
    {Ctl::FreeChannels, "resources", &Mcc::freeChannels},
};

const Control<Mcc> Mcc::commandTable[] = {
    {"channels", "", &Mcc::channelsCommand},
    {"written", "", &Mcc::writtenCommand},
    {"resources", "DATA BRI TRANSPARENT", &Mcc::resourcesCommand},
    {"receive", "CHANNEL HEX", &Mcc::receiveCommand},
};

Mcc::Mcc()
    : Device("mcc", Ctl::Path),
      allocations_(*this, [this](Allocation& a) { publish("free " + std::to_string(a.channel)); }) {
  answer(this, requestTable);
  control(this, commandTable);
}

std::map<int32_t, uint32_t> Mcc::channels() const {
  std::map<int32_t, uint32_t> all;
  for (const auto& a : allocations_.all()) all[a.second.channel] = a.second.type;
  return all;
}

ssize_t Mcc::write(OpenFile& file, const uint8_t* data, size_t len) {
  const Allocation* a = allocations_.find(file);
  if (!a) return -EINVAL;
  written_.add(Written{a->channel, std::string(reinterpret_cast<const char*>(data), len)});
  publish("write " + std::to_string(a->channel) + " " + Hex::encode(written_.back().bytes));
  return ssize_t(len);
}

int Mcc::allocate(Call& call) {
  const uint32_t type = call.in.get(Ctl::Allocation::Type);
  if (!call.in.ok() || type > Ctl::Ss7) return -EINVAL;
  if (allocations_.find(call.file())) return -EBUSY;
  const std::map<int32_t, uint32_t> taken = channels();
  for (int32_t channel = FirstChannel; channel < FirstChannel + int32_t(Capacity); ++channel) {
    if (taken.count(channel)) continue;
    allocations_.of(call.file()) = Allocation{channel, type};
    publish("allocate " + std::to_string(channel) + " type=" + std::to_string(type));
    return 0;
  }
  return -ENOSPC;
}

int Mcc::timeslot(Call& call) {
  const Allocation* a = allocations_.find(call.file());
  return a ? a->channel : -EINVAL;
}

int Mcc::freeChannels(Call& call) {
  call.out.put(Ctl::Resources::Data, resources_[0]);
  call.out.put(Ctl::Resources::Bri, resources_[1]);
  call.out.put(Ctl::Resources::Transparent, resources_[2]);
  call.out.put(Ctl::Resources::Reserved, 0);
  return call.out.ok() ? 0 : -EINVAL;
}

void Mcc::setResources(int32_t data, int32_t bri, int32_t trans) {
  resources_[0] = data;
  resources_[1] = bri;
  resources_[2] = trans;
}

bool Mcc::receive(int32_t channel, const std::string& bytes) {
  for (const OpenFile& f : files()) {
    const auto a = allocations_.all().find(f.id);
    if (a == allocations_.all().end() || a->second.channel != channel) continue;
    return ::send(f.peer, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL) == ssize_t(bytes.size());
  }
  return false;
}

void Mcc::channelsCommand(Args&, Reply& reply) {
  for (const auto& c : channels()) reply.line(std::to_string(c.first) + " type=" + std::to_string(c.second));
}

void Mcc::writtenCommand(Args&, Reply& reply) {
  for (const Written& w : written_) reply.line(std::to_string(w.channel) + " " + Hex::encode(w.bytes));
}

void Mcc::resourcesCommand(Args& args, Reply&) {
  const int32_t data = int32_t(args.number("data", INT32_MIN, INT32_MAX));
  const int32_t bri = int32_t(args.number("bri", INT32_MIN, INT32_MAX));
  const int32_t trans = int32_t(args.number("transparent", INT32_MIN, INT32_MAX));
  if (args) setResources(data, bri, trans);
}

void Mcc::receiveCommand(Args& args, Reply& reply) {
  const int32_t channel = int32_t(args.number("channel", INT32_MIN, INT32_MAX));
  const std::string bytes = args.bytes("hex");
  if (args && !receive(channel, bytes)) reply.fail("channel not allocated: " + std::to_string(channel));
}

void Mcc::resetState() {
  written_.clear();
  setResources(16, 8, 8);
}

}  // namespace Sim
}  // namespace Board
