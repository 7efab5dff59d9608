#include "board/sim/HalSwitch.h"

#include "board/Record.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace Board {
namespace Sim {

namespace {

bool validChannel(int32_t c) { return c >= 0 && c < HalSwitch::Channels; }

bool parse(const std::string& word, long max, long& value) {
  if (word.empty() || word[0] == '-' || word[0] == '+') return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtol(word.c_str(), &end, 0);
  return errno == 0 && *end == '\0' && value <= max;
}

void run(Device& d, const Args& a, Reply& reply) {
  auto* sw = static_cast<Hal&>(d).part<HalSwitch>();
  const std::string sub = a.empty() ? "" : a[0];
  if (sub == "map" && a.size() == 1) {
    for (const auto& o : sw->outputs()) reply.line(HalSwitch::format(o.first, o.second));
  } else if (sub == "counts" && a.size() == 1) {
    const HalSwitch::Counts& c = sw->counts();
    reply.line("connect " + std::to_string(c.connect) + " disable " + std::to_string(c.disable) + " write " +
               std::to_string(c.write) + " read " + std::to_string(c.read));
  } else if (sub == "line" && a.size() == 3) {
    long channel, value;
    if (!parse(a[1], HalSwitch::Channels - 1, channel)) return reply.fail("bad channel: " + a[1]);
    if (!parse(a[2], 255, value)) return reply.fail("bad byte: " + a[2]);
    sw->setLineByte(int32_t(channel), uint8_t(value));
  } else if (sub == "clear" && a.size() == 1) {
    sw->reset();
  } else {
    reply.fail("usage: hal switch map | counts | line CHANNEL BYTE | clear");
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

Command HalSwitch::command() const { return Command{"switch", "map | counts | line CHANNEL BYTE | clear", run}; }

void HalSwitch::reset() {
  outputs_.clear();
  lineBytes_.clear();
  counts_ = Counts();
}

}  // namespace Sim
}  // namespace Board
