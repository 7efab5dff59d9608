#include "board/sim/Mcc.h"

#include "board/sim/Hex.h"

#include <sys/socket.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

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
    {"counters", "", &Mcc::countersCommand},
    {"cable", "CHANNEL CHANNEL", &Mcc::cableCommand},
    {"uncable", "CHANNEL", &Mcc::uncableCommand},
    {"refuse", "CHANNEL ERRNO [COUNT]", &Mcc::refuseCommand},
    {"hangup", "[CHANNEL]", &Mcc::hangupCommand},
    {"farend", "CHANNEL", &Mcc::farEndCommand},
};

Mcc::Mcc()
    : Device("mcc", Ctl::Path, JournalCommands),
      allocations_(*this, [this](Channel& c) { released(c); }),
      farEnds_([this](int32_t channel, const std::string& packet) { receive(channel, packet); }) {
  answer(this, requestTable);
  control(this, commandTable);
}

Mcc::Channel* Mcc::find(int32_t number, const OpenFile** file) {
  for (const OpenFile& f : files()) {
    Channel* c = allocations_.find(f);
    if (!c || c->channel != number) continue;
    if (file) *file = &f;
    return c;
  }
  return nullptr;
}

const Mcc::Channel* Mcc::channel(int32_t number) { return find(number); }

std::map<int32_t, uint32_t> Mcc::channels() const {
  std::map<int32_t, uint32_t> all;
  for (const auto& a : allocations_.all()) all[a.second.channel] = a.second.type;
  return all;
}

void Mcc::released(Channel& c) {
  uncable(c.channel);
  farEnds_.close(c.channel);
  publish("free " + std::to_string(c.channel));
}

ssize_t Mcc::write(OpenFile& file, const uint8_t* data, size_t len) {
  Channel* c = allocations_.find(file);
  if (!c) return -EINVAL;
  if (c->refusals > 0) {
    --c->refusals;
    return -c->refusal;
  }
  // An empty frame never reaches the line.
  if (len == 0) return 0;
  const std::string frame(reinterpret_cast<const char*>(data), len);
  written_.add(Written{c->channel, frame});
  publish("write " + std::to_string(c->channel) + " " + Hex::encode(frame));
  ++c->counters.txFrames;
  c->counters.txBytes += len;
  if (c->cable >= 0) {
    receive(c->cable, frame);
  } else if (farEnds_.send(c->channel, frame) == MccFarEnds::Sent::Lost) {
    ++c->counters.txLost;
  }
  return ssize_t(len);
}

bool Mcc::receive(int32_t number, const std::string& frame) {
  const OpenFile* file = nullptr;
  Channel* c = find(number, &file);
  if (!c) return false;
  const size_t limit =
      std::min<size_t>(c->rxPacketSize ? c->rxPacketSize : MccFarEnds::MaxPacket, MccFarEnds::MaxPacket);
  if (frame.empty() || frame.size() > limit ||
      ::send(file->peer, frame.data(), frame.size(), MSG_DONTWAIT | MSG_NOSIGNAL) != ssize_t(frame.size())) {
    ++c->counters.rxDropped;
    publish("drop " + std::to_string(number) + " " + std::to_string(frame.size()));
    return false;
  }
  ++c->counters.rxFrames;
  c->counters.rxBytes += frame.size();
  publish("receive " + std::to_string(number) + " " + Hex::encode(frame));
  return true;
}

bool Mcc::cable(int32_t a, int32_t b) {
  Channel* one = find(a);
  Channel* other = find(b);
  if (!one || !other || a == b) return false;
  uncable(a);
  uncable(b);
  one->cable = b;
  other->cable = a;
  publish("cable " + std::to_string(a) + " " + std::to_string(b));
  return true;
}

void Mcc::uncable(int32_t number) {
  Channel* c = find(number);
  if (!c || c->cable < 0) return;
  if (Channel* other = find(c->cable)) other->cable = -1;
  c->cable = -1;
}

bool Mcc::refuse(int32_t number, int err, unsigned count) {
  Channel* c = find(number);
  if (!c) return false;
  c->refusal = err;
  c->refusals = count;
  return true;
}

bool Mcc::hangUp(int32_t number) {
  const OpenFile* file = nullptr;
  return find(number, &file) && ::shutdown(file->peer, SHUT_RDWR) == 0;
}

int Mcc::allocate(Call& call) {
  const uint32_t type = call.in.get(Ctl::Allocation::Type);
  const uint32_t rxPacketSize = call.in.get(Ctl::Allocation::RxPacketSize);
  call.journal("type=" + std::to_string(type) + " rx_packet_size=" + std::to_string(rxPacketSize) +
               " reserved=" + std::to_string(call.in.get(Ctl::Allocation::Reserved)) +
               " rx_threshold=" + std::to_string(call.in.get(Ctl::Allocation::RxThreshold)) +
               " tx_threshold=" + std::to_string(call.in.get(Ctl::Allocation::TxThreshold)));
  if (!call.in.ok() || type > Ctl::Ss7) return -EINVAL;
  if (allocations_.find(call.file())) return -EBUSY;
  const std::map<int32_t, uint32_t> taken = channels();
  for (int32_t number = FirstChannel; number < FirstChannel + int32_t(Capacity); ++number) {
    if (taken.count(number)) continue;
    // Without its far end the channel still works: a test can cable it or hand it frames.
    if (!farEnds_.open(number)) {
      std::fprintf(stderr, "board-sim: far end of HDLC channel %d: %s\n", int(number), std::strerror(errno));
    }
    Channel& c = allocations_.of(call.file());
    c.channel = number;
    c.type = type;
    c.rxPacketSize = rxPacketSize;
    publish("allocate " + std::to_string(number) + " type=" + std::to_string(type));
    return 0;
  }
  return -ENOSPC;
}

int Mcc::timeslot(Call& call) {
  call.journal();
  const Channel* c = allocations_.find(call.file());
  return c ? c->channel : -EINVAL;
}

int Mcc::freeChannels(Call& call) {
  call.journal();
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

int32_t Mcc::channelArg(Args& args, Reply& reply) {
  const int32_t number = int32_t(args.number("channel", INT32_MIN, INT32_MAX));
  if (args && !find(number)) reply.fail("channel not allocated: " + std::to_string(number));
  return number;
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
  const int32_t number = channelArg(args, reply);
  const std::string bytes = args.bytes("hex");
  if (args && !receive(number, bytes)) reply.fail("frame dropped: " + std::to_string(bytes.size()) + " bytes");
}

void Mcc::countersCommand(Args&, Reply& reply) {
  for (const auto& a : allocations_.all()) {
    const Counters& n = a.second.counters;
    reply.line(std::to_string(a.second.channel) + " tx " + std::to_string(n.txFrames) + "/" +
               std::to_string(n.txBytes) + " lost " + std::to_string(n.txLost) + " rx " + std::to_string(n.rxFrames) +
               "/" + std::to_string(n.rxBytes) + " dropped " + std::to_string(n.rxDropped));
  }
}

void Mcc::cableCommand(Args& args, Reply& reply) {
  const int32_t a = channelArg(args, reply);
  const int32_t b = channelArg(args, reply);
  if (args && !cable(a, b)) reply.fail("a channel cannot be cabled to itself");
}

void Mcc::uncableCommand(Args& args, Reply& reply) {
  const int32_t number = channelArg(args, reply);
  if (args) uncable(number);
}

void Mcc::refuseCommand(Args& args, Reply& reply) {
  const int32_t number = channelArg(args, reply);
  const int err = args.error("errno");
  const unsigned count = unsigned(args.number("count", 0, UINT32_MAX, 1));
  if (args) refuse(number, err, count);
}

void Mcc::hangupCommand(Args& args, Reply& reply) {
  if (!args.more()) {
    reply.line("reached " + std::to_string(hangUp()));
    return;
  }
  const int32_t number = channelArg(args, reply);
  if (args && !hangUp(number)) reply.fail(std::string("hang-up failed: ") + std::strerror(errno));
}

void Mcc::farEndCommand(Args& args, Reply& reply) {
  const int32_t number = channelArg(args, reply);
  if (args) reply.line(MccFarEnds::path(number) + (farEnds_.attached(number) ? " attached" : " waiting"));
}

void Mcc::resetState() {
  farEnds_.closeAll();
  written_.clear();
  setResources(16, 8, 8);
}

}  // namespace Sim
}  // namespace Board
