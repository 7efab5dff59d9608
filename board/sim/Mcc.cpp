#include "board/sim/Mcc.h"

#include "board/Paths.h"
#include "board/Record.h"

#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <sys/socket.h>

namespace Board {
namespace Sim {

namespace {

constexpr uint32_t HighestType = 3;

std::string hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

bool unhex(const std::string& text, std::string& bytes) {
  if (text.size() % 2) return false;
  for (size_t i = 0; i < text.size(); i += 2) {
    char* end = nullptr;
    const std::string pair = text.substr(i, 2);
    const long v = std::strtol(pair.c_str(), &end, 16);
    if (*end != '\0' || pair[0] == '-' || pair[0] == '+' || pair[0] == ' ') return false;
    bytes += char(v);
  }
  return true;
}

bool integer(const std::string& word, long& value) {
  if (word.empty() || word[0] == '+') return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtol(word.c_str(), &end, 0);
  return errno == 0 && *end == '\0' && value >= INT32_MIN && value <= INT32_MAX;
}

void channelsCommand(Device& d, const Args& a, Reply& reply) {
  if (!a.empty()) return reply.fail("usage: mcc channels");
  for (const auto& c : static_cast<Mcc&>(d).channels()) {
    reply.line(std::to_string(c.first) + " type=" + std::to_string(c.second.type));
  }
}

void writtenCommand(Device& d, const Args& a, Reply& reply) {
  if (!a.empty()) return reply.fail("usage: mcc written");
  for (const auto& w : static_cast<Mcc&>(d).journal()) reply.line(std::to_string(w.channel) + " " + hex(w.bytes));
}

void resourcesCommand(Device& d, const Args& a, Reply& reply) {
  long v[3];
  if (a.size() != 3 || !integer(a[0], v[0]) || !integer(a[1], v[1]) || !integer(a[2], v[2])) {
    return reply.fail("usage: mcc resources DATA BRI TRANSPARENT");
  }
  static_cast<Mcc&>(d).setResources(int32_t(v[0]), int32_t(v[1]), int32_t(v[2]));
}

void receiveCommand(Device& d, const Args& a, Reply& reply) {
  long channel;
  std::string bytes;
  if (a.size() != 2 || !integer(a[0], channel) || !unhex(a[1], bytes) || bytes.empty()) {
    return reply.fail("usage: mcc receive CHANNEL HEXBYTES");
  }
  if (!static_cast<Mcc&>(d).receive(int32_t(channel), bytes)) reply.fail("channel not allocated: " + a[0]);
}

}  // namespace

Mcc::Mcc() : Device("mcc", Paths::MccCtl) {}

int32_t Mcc::channelOf(unsigned file) const {
  for (const auto& c : channels_) {
    if (c.second.file == file) return c.first;
  }
  return -1;
}

void Mcc::closed(OpenFile& file) {
  const int32_t channel = channelOf(file.id);
  if (channel < 0) return;
  channels_.erase(channel);
  publish("free " + std::to_string(channel));
}

ssize_t Mcc::write(OpenFile& file, const uint8_t* data, size_t len) {
  const int32_t channel = channelOf(file.id);
  if (channel < 0) return -EINVAL;
  if (journal_.size() == JournalLimit) journal_.pop_front();
  journal_.push_back(Written{channel, std::string(reinterpret_cast<const char*>(data), len)});
  publish("write " + std::to_string(channel) + " " + hex(journal_.back().bytes));
  return ssize_t(len);
}

int Mcc::ioctl(OpenFile& file, uint32_t request, uint8_t* record, size_t len) {
  if (request == ResourcesRequest) {
    RecordWriter out(record, len);
    for (unsigned i = 0; i < 3; ++i) out.u32(4 * i, uint32_t(resources_[i]));
    out.u32(12, 0);
    return out.ok() ? 0 : -EINVAL;
  }
  if (request != AllocateRequest) return -ENOTTY;
  RecordReader in(record, len);
  const uint32_t type = in.u32(0);
  if (!in.ok() || type > HighestType) return -EINVAL;
  if (channelOf(file.id) >= 0) return -EBUSY;
  for (int32_t channel = FirstChannel; channel < FirstChannel + int32_t(Capacity); ++channel) {
    if (channels_.count(channel)) continue;
    channels_[channel] = Allocation{file.id, type};
    publish("allocate " + std::to_string(channel) + " type=" + std::to_string(type));
    return 0;
  }
  return -ENOSPC;
}

int Mcc::ioctlValue(OpenFile& file, uint32_t request, unsigned long) {
  if (request != TimeslotRequest) return -ENOTTY;
  const int32_t channel = channelOf(file.id);
  return channel < 0 ? -EINVAL : channel;
}

std::vector<Command> Mcc::commands() const {
  static const Command table[] = {
      {"channels", "", channelsCommand},
      {"written", "", writtenCommand},
      {"resources", "DATA BRI TRANSPARENT", resourcesCommand},
      {"receive", "CHANNEL HEXBYTES", receiveCommand},
  };
  return {std::begin(table), std::end(table)};
}

void Mcc::setResources(int32_t data, int32_t bri, int32_t trans) {
  resources_[0] = data;
  resources_[1] = bri;
  resources_[2] = trans;
}

bool Mcc::receive(int32_t channel, const std::string& bytes) {
  auto it = channels_.find(channel);
  if (it == channels_.end()) return false;
  for (const OpenFile& f : files()) {
    if (f.id != it->second.file) continue;
    return ::send(f.peer, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL) == ssize_t(bytes.size());
  }
  return false;
}

void Mcc::resetState() {
  channels_.clear();
  journal_.clear();
  setResources(16, 8, 8);
}

}  // namespace Sim
}  // namespace Board
