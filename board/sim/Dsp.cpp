#include "board/sim/Dsp.h"

#include "board/Paths.h"
#include "board/Record.h"
#include "board/Request.h"
#include "board/sim/ArgNumber.h"
#include "board/sim/Injection.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace Board {
namespace Sim {

const uint32_t Dsp::ConfigureRequest = Request::ior('d', 1, 20);
const uint32_t Dsp::EnableRequest = Request::ior('d', 2, 12);
const uint32_t Dsp::DisableRequest = Request::ior('d', 3, 12);
const uint32_t Dsp::VadVersionRequest = Request::ior('d', 4, 4);

namespace {

// Offsets in the request records and the event record.
enum : size_t { TimeslotAt = 0, FunctionAt = 4, ParamsAt = 8 };
enum : size_t { IdAt = 4, MaskAt = 8 };
enum : size_t { EventTimeslotAt = 0, EventIdAt = 4, EventTypeAt = 8, WordAAt = 12, WordBAt = 16, WordCAt = 20 };

std::string hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", v);
  return text;
}

std::string hexBytesText(const uint8_t* p, size_t n) {
  std::string text;
  char byte[3];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(byte, sizeof byte, "%02x", p[i]);
    text += byte;
  }
  return text;
}

bool singleFunction(uint32_t f) { return f && !(f & (f - 1)) && (f & Dsp::Functions); }

Dsp& dsp(Device& d) { return static_cast<Dsp&>(d); }

void stateCommand(Device& d, const Args& args, Reply& reply) {
  if (!args.empty()) return reply.fail("usage: dsp state");
  for (const auto& c : dsp(d).channels()) {
    for (const std::string& line : Dsp::format(c.first, c.second)) reply.line(line);
  }
}

void journalCommand(Device& d, const Args& args, Reply& reply) {
  if (!args.empty()) return reply.fail("usage: dsp journal");
  dsp(d).journal().put(reply);
}

void clearCommand(Device& d, const Args& args, Reply& reply) {
  if (!args.empty()) return reply.fail("usage: dsp clear");
  dsp(d).clearJournal();
}

void versionCommand(Device& d, const Args& args, Reply& reply) {
  long version;
  if (args.size() != 1 || !argNumber(args[0], -0x80000000l, 0x7FFFFFFFl, version)) {
    return reply.fail("usage: dsp version N");
  }
  dsp(d).setVadVersion(int32_t(version));
}

bool word(const std::string& text, uint32_t& value) {
  long v;
  if (!argNumber(text, -0x80000000l, 0xFFFFFFFFl, v)) return false;
  value = uint32_t(v);
  return true;
}

bool timeslot(const std::string& text, uint32_t& value) {
  long v;
  if (!argNumber(text, 0, Dsp::Timeslots - 1, v)) return false;
  value = uint32_t(v);
  return true;
}

// "<type> TIMESLOT W... [ID]": the id defaults to the one the function was enabled with.
void injectEvent(Device& d, const Args& args, Reply& reply, uint32_t type, size_t words, const char* usage) {
  uint32_t ts, w[3] = {0, 0, 0}, id;
  if (args.size() != words + 1 && args.size() != words + 2) return reply.fail(std::string("usage: dsp ") + usage);
  if (!timeslot(args[0], ts)) return reply.fail("bad timeslot: " + args[0]);
  for (size_t i = 0; i < words; ++i) {
    if (!word(args[i + 1], w[i])) return reply.fail("bad value: " + args[i + 1]);
  }
  if (args.size() == words + 2) {
    if (!word(args[words + 1], id)) return reply.fail("bad id: " + args[words + 1]);
  } else {
    id = dsp(d).idOf(ts, type);
  }
  reached(reply, dsp(d).event(ts, id, type, w[0], w[1], w[2]));
}

void vadCommand(Device& d, const Args& a, Reply& r) { injectEvent(d, a, r, Dsp::Vad, 3, "vad TIMESLOT DIRMASK RX TX [ID]"); }
void sdCommand(Device& d, const Args& a, Reply& r) { injectEvent(d, a, r, Dsp::Sd, 1, "sd TIMESLOT VALUE [ID]"); }
void toneCommand(Device& d, const Args& a, Reply& r) {
  injectEvent(d, a, r, Dsp::ToneFilter, 2, "tone TIMESLOT FREQ PRESENCE [ID]");
}
void flagsCommand(Device& d, const Args& a, Reply& r) { injectEvent(d, a, r, Dsp::Flags, 2, "flags TIMESLOT FLAGS MASK [ID]"); }

// bss TIMESLOT SCORE: the score as a decimal fraction, sent as its IEEE single bits.
void bssCommand(Device& d, const Args& args, Reply& reply) {
  uint32_t ts;
  if (args.size() != 2) return reply.fail("usage: dsp bss TIMESLOT SCORE");
  if (!timeslot(args[0], ts)) return reply.fail("bad timeslot: " + args[0]);
  char* end = nullptr;
  const float score = std::strtof(args[1].c_str(), &end);
  if (args[1].empty() || *end) return reply.fail("bad score: " + args[1]);
  uint32_t bits;
  std::memcpy(&bits, &score, sizeof bits);
  reached(reply, dsp(d).event(ts, dsp(d).idOf(ts, Dsp::Bss), Dsp::Bss, bits, 0, 0));
}

void rawCommand(Device& d, const Args& args, Reply& reply) {
  std::string bytes;
  if (args.size() != 1 || !hexBytes(args[0], bytes)) return reply.fail("usage: dsp raw HEX");
  reached(reply, d.inject(bytes.data(), bytes.size()));
}

void hangupCommand(Device& d, const Args& args, Reply& reply) {
  if (!args.empty()) return reply.fail("usage: dsp hangup");
  reached(reply, hangUp(d));
}

}  // namespace

Dsp::Dsp() : Device("dsp", Paths::Dsp) {}

int Dsp::ioctl(OpenFile&, uint32_t request, uint8_t* record, size_t len) {
  if (request != ConfigureRequest && request != EnableRequest && request != DisableRequest) return -ENOTTY;
  RecordReader in(record, len);
  const uint32_t ts = in.u32(TimeslotAt);
  if (!in.ok() || ts >= Timeslots) return -EINVAL;
  const std::string where = std::to_string(ts);
  if (request == ConfigureRequest) {
    const uint32_t function = in.u32(FunctionAt);
    if (!singleFunction(function) || len < ParamsAt + ParamsSize) return -EINVAL;
    auto& params = channels_[ts].configured[function];
    std::memcpy(params.data(), record + ParamsAt, ParamsSize);
    journal_.add("configure " + where + " " + hex(function) + " " + hexBytesText(params.data(), ParamsSize));
    return 0;
  }
  const uint32_t mask = in.u32(MaskAt);
  if (!mask || (mask & ~Functions)) return -EINVAL;
  Channel& c = channels_[ts];
  if (request == EnableRequest) {
    const uint32_t id = in.u32(IdAt);
    for (uint32_t bit = 1; bit <= mask; bit <<= 1) {
      if (mask & bit) c.on[bit] = id;
    }
    journal_.add("enable " + where + " mask=" + hex(mask) + " id=" + std::to_string(id));
  } else {
    for (uint32_t bit = 1; bit <= mask; bit <<= 1) {
      if (mask & bit) c.on.erase(bit);
    }
    journal_.add("disable " + where + " mask=" + hex(mask));
  }
  return 0;
}

int Dsp::ioctlValue(OpenFile&, uint32_t request, unsigned long) {
  if (request != VadVersionRequest) return -ENOTTY;
  journal_.add("vad-version");
  return vadVersion_;
}

uint32_t Dsp::idOf(uint32_t timeslot, uint32_t function) const {
  auto c = channels_.find(timeslot);
  if (c == channels_.end()) return 0;
  auto f = c->second.on.find(function);
  return f == c->second.on.end() ? 0 : f->second;
}

size_t Dsp::event(uint32_t timeslot, uint32_t id, uint32_t type, uint32_t a, uint32_t b, uint32_t c) {
  const auto r = record(timeslot, id, type, a, b, c);
  return inject(r.data(), r.size());
}

std::array<uint8_t, Dsp::EventSize> Dsp::record(uint32_t timeslot, uint32_t id, uint32_t type, uint32_t a,
                                                uint32_t b, uint32_t c) {
  std::array<uint8_t, EventSize> r{};
  RecordWriter out(r.data(), r.size());
  out.u32(EventTimeslotAt, timeslot);
  out.u32(EventIdAt, id);
  out.u32(EventTypeAt, type);
  out.u32(WordAAt, a);
  out.u32(WordBAt, b);
  out.u32(WordCAt, c);
  return r;
}

std::vector<std::string> Dsp::format(uint32_t timeslot, const Channel& c) {
  std::vector<std::string> lines;
  const std::string ts = std::to_string(timeslot);
  for (const auto& f : c.on) lines.push_back(ts + " on " + hex(f.first) + " id=" + std::to_string(f.second));
  for (const auto& f : c.configured) {
    lines.push_back(ts + " configured " + hex(f.first) + " " + hexBytesText(f.second.data(), ParamsSize));
  }
  return lines;
}

std::vector<Command> Dsp::commands() const {
  static const Command table[] = {
      {"state", "", stateCommand},
      {"journal", "", journalCommand},
      {"clear", "", clearCommand},
      {"version", "N", versionCommand},
      {"vad", "TIMESLOT DIRMASK RX TX [ID]", vadCommand},
      {"sd", "TIMESLOT VALUE [ID]", sdCommand},
      {"bss", "TIMESLOT SCORE", bssCommand},
      {"tone", "TIMESLOT FREQ PRESENCE [ID]", toneCommand},
      {"flags", "TIMESLOT FLAGS MASK [ID]", flagsCommand},
      {"raw", "HEX", rawCommand},
      {"hangup", "", hangupCommand},
  };
  return {std::begin(table), std::end(table)};
}

void Dsp::resetState() {
  channels_.clear();
  journal_.clear();
  vadVersion_ = 2;
}

}  // namespace Sim
}  // namespace Board
