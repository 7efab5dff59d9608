#include "board/sim/HalSwitch.h"

#include "board/Record.h"
#include "board/sim/ArgNumber.h"

#include <cerrno>
#include <cstdio>

namespace Board {
namespace Sim {

namespace {

bool validChannel(int32_t c) { return c >= 0 && c < HalSwitch::Channels; }

constexpr const char* Usage = "map | counts | line CHANNEL BYTE | stuck CHANNEL BYTE | unstick CHANNEL | clear";

bool channelArg(const std::string& word, long& channel) { return argNumber(word, 0, HalSwitch::Channels - 1, channel); }

void run(Device& d, const Args& a, Reply& reply) {
  auto* sw = static_cast<Hal&>(d).part<HalSwitch>();
  const std::string sub = a.empty() ? "" : a[0];
  long channel = 0, value = 0;
  if (sub == "map" && a.size() == 1) {
    for (const auto& o : sw->outputs()) reply.line(HalSwitch::format(o.first, o.second));
  } else if (sub == "counts" && a.size() == 1) {
    const HalSwitch::Counts& c = sw->counts();
    reply.line("connect " + std::to_string(c.connect) + " disable " + std::to_string(c.disable) + " write " +
               std::to_string(c.write) + " read " + std::to_string(c.read));
  } else if ((sub == "line" || sub == "stuck") && a.size() == 3) {
    if (!channelArg(a[1], channel)) return reply.fail("bad channel: " + a[1]);
    if (!argNumber(a[2], 0, 255, value)) return reply.fail("bad byte: " + a[2]);
    if (sub == "line")
      sw->setLineByte(int32_t(channel), uint8_t(value));
    else
      sw->stick(int32_t(channel), uint8_t(value));
  } else if (sub == "unstick" && a.size() == 2) {
    if (!channelArg(a[1], channel)) return reply.fail("bad channel: " + a[1]);
    sw->unstick(int32_t(channel));
  } else if (sub == "clear" && a.size() == 1) {
    sw->reset();
  } else {
    reply.fail(std::string("usage: hal switch ") + Usage);
  }
}

}  // namespace

int HalSwitch::ioctl(OpenFile&, uint32_t request, uint8_t* record, size_t len) {
  RecordReader in(record, len);
  const int32_t channel = in.s32(0);
  const int32_t word1 = in.s32(4);
  switch (request) {
    case ConnectRequest:
      if (!in.ok() || !validChannel(channel) || !validChannel(word1)) return -EINVAL;
      ++counts_.connect;
      outputs_[channel] = Output{false, word1};
      publish("connect " + format(channel, outputs_[channel]));
      return 0;
    case DisableRequest:
      if (!validChannel(channel)) return -EINVAL;
      ++counts_.disable;
      if (outputs_.erase(channel)) publish("disable " + std::to_string(channel));
      return 0;
    case WriteRequest:
      if (!in.ok() || !validChannel(channel) || word1 < 0 || word1 > 255) return -EINVAL;
      ++counts_.write;
      outputs_[channel] = Output{true, word1};
      publish("write " + format(channel, outputs_[channel]));
      return 0;
    case ReadRequest: {
      if (!in.ok() || !validChannel(channel)) return -EINVAL;
      ++counts_.read;
      RecordWriter out(record, len);
      out.u32(4, byteOn(channel));
      return 0;
    }
    default:
      return -ENOTTY;
  }
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
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%02X", unsigned(o.value));
  return std::to_string(output) + " = " + hex;
}

Command HalSwitch::command() const { return Command{"switch", Usage, run}; }

void HalSwitch::reset() {
  outputs_.clear();
  lineBytes_.clear();
  stuck_.clear();
  counts_ = Counts();
}

}  // namespace Sim
}  // namespace Board
