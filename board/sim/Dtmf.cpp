#include "board/sim/Dtmf.h"

#include "board/Paths.h"
#include "board/Record.h"
#include "board/Request.h"
#include "board/sim/ArgNumber.h"
#include "board/sim/Injection.h"

#include <cerrno>
#include <iterator>

namespace Board {
namespace Sim {

const uint32_t Dtmf::ConfigureRequest = Request::ior('B', 2, 20);
const uint32_t Dtmf::EnableRequest = Request::ior('B', 3, 8);
const uint32_t Dtmf::DisableRequest = Request::ior('B', 4, 4);
const uint32_t Dtmf::ToneRequest = Request::ior('B', 5, 12);
const uint32_t Dtmf::EchoOnRequest = Request::ior('B', 6, 4);
const uint32_t Dtmf::EchoOffRequest = Request::ior('B', 7, 4);
const uint32_t Dtmf::RejectOnRequest = Request::ior('B', 9, 4);
const uint32_t Dtmf::RejectOffRequest = Request::ior('B', 10, 4);
const uint32_t Dtmf::IvaOnRequest = Request::ior('B', 11, 4);
const uint32_t Dtmf::IvaOffRequest = Request::ior('B', 12, 4);
const uint32_t Dtmf::IvaConfigureRequest = Request::ior('B', 13, 8);
const uint32_t Dtmf::SelcalRequest = Request::ior('B', 14, 12);

namespace {

// Offsets in the records; every record starts with the timeslot.
enum : size_t { TimeslotAt = 0 };
enum : size_t { TwistAt = 4, RatioAt = 8, SilenceAt = 12, NoiseAt = 16 };
enum : size_t { IdAt = 4 };
enum : size_t { Freq1At = 4, Freq2At = 6, Amp1At = 8, Amp2At = 10 };
enum : size_t { LevelAt = 4 };
enum : size_t { AmplitudeAt = 4, SignsAt = 6, SignCount = 4, PadAt = 10 };
enum : size_t { EventCodeAt = 0, EventTimeslotAt = 4, EventTimestampAt = 8, EventIdAt = 12 };

const char* onOff(bool on) { return on ? "on" : "off"; }

void stateCommand(Device& d, const Args& args, Reply& reply) {
  if (!args.empty()) return reply.fail("usage: dtmf state");
  for (const auto& c : static_cast<const Dtmf&>(d).channels()) reply.line(Dtmf::format(c.first, c.second));
}

void journalCommand(Device& d, const Args& args, Reply& reply) {
  if (!args.empty()) return reply.fail("usage: dtmf journal");
  static_cast<const Dtmf&>(d).journal().put(reply);
}

void clearCommand(Device& d, const Args& args, Reply& reply) {
  if (!args.empty()) return reply.fail("usage: dtmf clear");
  static_cast<Dtmf&>(d).clearJournal();
}

// event TIMESLOT CODE [ID [TIMESTAMP]]: the id defaults to the detector's current one.
void eventCommand(Device& d, const Args& args, Reply& reply) {
  long timeslot, code, id = -1, timestamp = 0;
  if (args.size() < 2 || args.size() > 4) return reply.fail("usage: dtmf event TIMESLOT CODE [ID [TIMESTAMP]]");
  if (!argNumber(args[0], 0, Dtmf::Timeslots - 1, timeslot)) return reply.fail("bad timeslot: " + args[0]);
  if (!argNumber(args[1], 0, 0xFFFFFFFFl, code)) return reply.fail("bad code: " + args[1]);
  if (args.size() > 2 && !argNumber(args[2], 0, 0xFFFFFFFFl, id)) return reply.fail("bad id: " + args[2]);
  if (args.size() > 3 && !argNumber(args[3], 0, 0xFFFFFFFFl, timestamp)) {
    return reply.fail("bad timestamp: " + args[3]);
  }
  auto& dtmf = static_cast<Dtmf&>(d);
  if (id < 0) {
    auto it = dtmf.channels().find(uint32_t(timeslot));
    id = it == dtmf.channels().end() ? 0 : it->second.id;
  }
  reached(reply, dtmf.event(uint32_t(timeslot), uint32_t(code), uint32_t(id), uint32_t(timestamp)));
}

void rawCommand(Device& d, const Args& args, Reply& reply) {
  std::string bytes;
  if (args.size() != 1 || !hexBytes(args[0], bytes)) return reply.fail("usage: dtmf raw HEX");
  reached(reply, d.inject(bytes.data(), bytes.size()));
}

void hangupCommand(Device& d, const Args& args, Reply& reply) {
  if (!args.empty()) return reply.fail("usage: dtmf hangup");
  reached(reply, hangUp(d));
}

}  // namespace

Dtmf::Dtmf() : Device("dtmf", Paths::Dtmf) {}

int Dtmf::ioctl(OpenFile&, uint32_t request, uint8_t* record, size_t len) {
  RecordReader in(record, len);
  const uint32_t timeslot = in.u32(TimeslotAt);
  if (request != ConfigureRequest && request != EnableRequest && request != ToneRequest &&
      request != IvaConfigureRequest && request != SelcalRequest) {
    return -ENOTTY;
  }
  if (!in.ok() || timeslot >= Timeslots) return -EINVAL;
  const std::string ts = std::to_string(timeslot);
  if (request == SelcalRequest) {
    std::string signs(reinterpret_cast<const char*>(record) + SignsAt, SignCount);
    if (in.u16(PadAt) != 0) return -EINVAL;
    for (char& c : signs) {
      if (c < 0x20 || c > 0x7E) c = '?';
    }
    journal_.add("selcal " + ts + " amp=" + std::to_string(in.u16(AmplitudeAt)) + " signs=" + signs);
    channels_[timeslot];
    return 0;
  }
  Channel& c = channels_[timeslot];
  if (request == ConfigureRequest) {
    c.configured = true;
    c.twist = in.u32(TwistAt);
    c.ratio = in.u32(RatioAt);
    c.silence = in.u32(SilenceAt);
    c.noise = in.u32(NoiseAt);
    journal_.add("configure " + ts + " twist=" + std::to_string(c.twist) + " ratio=" + std::to_string(c.ratio) +
                 " silence=" + std::to_string(c.silence) + " noise=" + std::to_string(c.noise));
  } else if (request == EnableRequest) {
    c.dtmf = true;
    c.id = in.u32(IdAt);
    journal_.add("enable " + ts + " id=" + std::to_string(c.id));
  } else if (request == ToneRequest) {
    c.tone = {in.u16(Freq1At), in.u16(Freq2At), in.u16(Amp1At), in.u16(Amp2At)};
    journal_.add("tone " + ts + " " + std::to_string(c.tone[0]) + " " + std::to_string(c.tone[1]) + " " +
                 std::to_string(c.tone[2]) + " " + std::to_string(c.tone[3]));
  } else {
    c.ivaConfigured = true;
    c.ivaLevel = in.s32(LevelAt);
    journal_.add("iva-configure " + ts + " level=" + std::to_string(c.ivaLevel));
  }
  return 0;
}

int Dtmf::ioctlValue(OpenFile&, uint32_t request, unsigned long timeslot) {
  struct Switch {
    uint32_t request;
    const char* name;
    bool Channel::*flag;
    bool on;
  };
  static const Switch switches[] = {
      {DisableRequest, "disable", &Channel::dtmf, false},  {EchoOnRequest, "echo-on", &Channel::echo, true},
      {EchoOffRequest, "echo-off", &Channel::echo, false}, {RejectOnRequest, "reject-on", &Channel::reject, true},
      {RejectOffRequest, "reject-off", &Channel::reject, false}, {IvaOnRequest, "iva-on", &Channel::iva, true},
      {IvaOffRequest, "iva-off", &Channel::iva, false},
  };
  for (const Switch& s : switches) {
    if (s.request != request) continue;
    if (timeslot >= Timeslots) return -EINVAL;
    channels_[uint32_t(timeslot)].*s.flag = s.on;
    journal_.add(std::string(s.name) + " " + std::to_string(timeslot));
    return 0;
  }
  return -ENOTTY;
}

size_t Dtmf::event(uint32_t timeslot, uint32_t code, uint32_t id, uint32_t timestamp) {
  const auto r = record(timeslot, code, id, timestamp);
  return inject(r.data(), r.size());
}

std::array<uint8_t, Dtmf::EventSize> Dtmf::record(uint32_t timeslot, uint32_t code, uint32_t id,
                                                  uint32_t timestamp) {
  std::array<uint8_t, EventSize> r{};
  RecordWriter out(r.data(), r.size());
  out.u32(EventCodeAt, code);
  out.u32(EventTimeslotAt, timeslot);
  out.u32(EventTimestampAt, timestamp);
  out.u32(EventIdAt, id);
  return r;
}

std::string Dtmf::format(uint32_t timeslot, const Channel& c) {
  std::string line = std::to_string(timeslot) + " dtmf=" + onOff(c.dtmf) + " id=" + std::to_string(c.id);
  if (c.configured) {
    line += " twist=" + std::to_string(c.twist) + " ratio=" + std::to_string(c.ratio) +
            " silence=" + std::to_string(c.silence) + " noise=" + std::to_string(c.noise);
  }
  line += std::string(" iva=") + onOff(c.iva);
  if (c.ivaConfigured) line += " level=" + std::to_string(c.ivaLevel);
  line += std::string(" echo=") + onOff(c.echo) + " reject=" + onOff(c.reject) + " tone=" +
          std::to_string(c.tone[0]) + "," + std::to_string(c.tone[1]) + "," + std::to_string(c.tone[2]) + "," +
          std::to_string(c.tone[3]);
  return line;
}

std::vector<Command> Dtmf::commands() const {
  static const Command table[] = {
      {"state", "", stateCommand},
      {"journal", "", journalCommand},
      {"clear", "", clearCommand},
      {"event", "TIMESLOT CODE [ID [TIMESTAMP]]", eventCommand},
      {"raw", "HEX", rawCommand},
      {"hangup", "", hangupCommand},
  };
  return {std::begin(table), std::end(table)};
}

void Dtmf::resetState() {
  channels_.clear();
  journal_.clear();
}

}  // namespace Sim
}  // namespace Board
