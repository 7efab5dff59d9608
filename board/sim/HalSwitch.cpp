#include "board/sim/HalSwitch.h"

#include "board/sim/Hex.h"

#include <cerrno>

namespace Board {
namespace Sim {

namespace Switch = Dev::Hal::Switch;

namespace {

bool validChannel(int32_t c) { return c >= 0 && c < HalSwitch::Channels; }

}  // namespace

const Answer<HalSwitch> HalSwitch::requestTable[] = {
    {Switch::Connect, "connect", &HalSwitch::connect},
    {Switch::Disable, "disable", &HalSwitch::disable},
    {Switch::Write, "write", &HalSwitch::write},
    {Switch::Read, "read", &HalSwitch::read},
};

const Control<HalSwitch> HalSwitch::commandTable[] = {
    {"switch map", "", &HalSwitch::mapCommand},
    {"switch counts", "", &HalSwitch::countsCommand},
    {"switch line", "CHANNEL BYTE", &HalSwitch::lineCommand},
    {"switch stuck", "CHANNEL BYTE", &HalSwitch::stuckCommand},
    {"switch unstick", "CHANNEL", &HalSwitch::unstickCommand},
    {"switch clear", "", &HalSwitch::clearCommand},
};

HalSwitch::HalSwitch(Hal& hal) : HalPart(hal) {
  hal.answer(this, requestTable);
  hal.control(this, commandTable);
}

int HalSwitch::connect(Call& call) {
  const int32_t output = call.in.get(Switch::Record::Channel);
  const int32_t source = call.in.get(Switch::Record::Word);
  if (!call.in.ok() || !validChannel(output) || !validChannel(source)) return -EINVAL;
  ++counts_.connect;
  outputs_[output] = Output{false, source};
  hal_.publish("connect " + format(output, outputs_[output]));
  return 0;
}

int HalSwitch::disable(Call& call) {
  const int32_t output = call.in.get(Switch::Record::Channel);
  if (!call.in.ok() || !validChannel(output)) return -EINVAL;
  ++counts_.disable;
  if (outputs_.erase(output)) hal_.publish("disable " + std::to_string(output));
  return 0;
}

int HalSwitch::write(Call& call) {
  const int32_t channel = call.in.get(Switch::Record::Channel);
  const int32_t byte = call.in.get(Switch::Record::Word);
  if (!call.in.ok() || !validChannel(channel) || byte < 0 || byte > 255) return -EINVAL;
  ++counts_.write;
  outputs_[channel] = Output{true, byte};
  hal_.publish("write " + format(channel, outputs_[channel]));
  return 0;
}

int HalSwitch::read(Call& call) {
  const int32_t channel = call.in.get(Switch::Record::Channel);
  if (!call.in.ok() || !validChannel(channel)) return -EINVAL;
  ++counts_.read;
  call.out.put(Switch::Record::Word, byteOn(channel));
  return 0;
}

int32_t HalSwitch::sourceOf(int32_t output) const {
  auto it = outputs_.find(output);
  return it == outputs_.end() || it->second.driven ? -1 : it->second.value;
}

uint8_t HalSwitch::byteOn(int32_t channel) const {
  auto broken = stuck_.find(channel);
  if (broken != stuck_.end()) return broken->second;
  auto it = outputs_.find(channel);
  if (it != outputs_.end()) {
    if (it->second.driven) return uint8_t(it->second.value);
    channel = it->second.value;
  }
  auto line = lineBytes_.find(channel);
  return line == lineBytes_.end() ? 0xFF : line->second;
}

std::string HalSwitch::format(int32_t output, const Output& o) {
  if (!o.driven) return std::to_string(output) + " <- " + std::to_string(o.value);
  return std::to_string(output) + " = " + Hex::number(uint32_t(o.value), 2);
}

void HalSwitch::mapCommand(Args&, Reply& reply) {
  for (const auto& o : outputs_) reply.line(format(o.first, o.second));
}

void HalSwitch::countsCommand(Args&, Reply& reply) {
  reply.line("connect " + std::to_string(counts_.connect) + " disable " + std::to_string(counts_.disable) + " write " +
             std::to_string(counts_.write) + " read " + std::to_string(counts_.read));
}

void HalSwitch::lineCommand(Args& args, Reply&) {
  const int32_t channel = int32_t(args.number("channel", 0, Channels - 1));
  const uint8_t byte = uint8_t(args.number("byte", 0, 255));
  if (args) setLineByte(channel, byte);
}

void HalSwitch::stuckCommand(Args& args, Reply&) {
  const int32_t channel = int32_t(args.number("channel", 0, Channels - 1));
  const uint8_t byte = uint8_t(args.number("byte", 0, 255));
  if (args) stick(channel, byte);
}

void HalSwitch::unstickCommand(Args& args, Reply&) {
  const int32_t channel = int32_t(args.number("channel", 0, Channels - 1));
  if (args) unstick(channel);
}

void HalSwitch::clearCommand(Args&, Reply&) { reset(); }

void HalSwitch::reset() {
  outputs_.clear();
  lineBytes_.clear();
  stuck_.clear();
  counts_ = Counts();
}

}  // namespace Sim
}  // namespace Board
