#include "board/sim/Rtp.h"

#include "board/sim/Hex.h"

#include <sys/socket.h>
#include <cerrno>

namespace Board {
namespace Sim {

namespace Eng = Dev::Rtp;

const Answer<Rtp> Rtp::requestTable[] = {
    {Eng::BeginSession, "begin", &Rtp::begin},
    {Eng::AddChannel, "add-channel", &Rtp::addChannel},
    {Eng::Teardown3, "teardown-3", &Rtp::teardown, Form::Value},
    {Eng::InputOn, "input-on", &Rtp::input, Form::Value},
    {Eng::InputOff, "input-off", &Rtp::input, Form::Value},
    {Eng::AttachSession, "attach", &Rtp::attach},
    {Eng::Teardown10, "teardown-10", &Rtp::teardown, Form::Value},
    {Eng::Teardown11, "teardown-11", &Rtp::teardown, Form::Value},
    {Eng::EventEnable, "event-on", &Rtp::detectorOn},
    {Eng::EventDisable, "event-off", &Rtp::detectorOff},
};

const Control<Rtp> Rtp::commandTable[] = {
    {"sessions", "", &Rtp::sessionsCommand},
    {"event", "SESSION TYPE VALUE [TIMEOUT]", &Rtp::eventCommand},
};

namespace {

std::string recordText(const Call& call) { return Hex::encode(call.record, call.size, Hex::Lower); }

}  // namespace

Rtp::Rtp()
    : Device("rtp", Eng::Path, JournalCommands | RawCommand | HangupCommand), sessions_(*this, [this](Session& s) {
        publish("release " + std::to_string(s.number) + " channel=" + std::to_string(s.channel));
      }) {
  answer(this, requestTable);
  control(this, commandTable);
}

void Rtp::opened(OpenFile& file) { of(file); }

Rtp::Session& Rtp::of(const OpenFile& file) {
  Session& s = sessions_.of(file);
  if (!s.number) s.number = ++opened_;
  return s;
}

const Rtp::Session* Rtp::session(unsigned number) const {
  for (const auto& s : sessions_.all()) {
    if (s.second.number == number) return &s.second;
  }
  return nullptr;
}

bool Rtp::channelTaken(int32_t channel) const {
  for (const auto& s : sessions_.all()) {
    if (s.second.channel == channel) return true;
  }
  return false;
}

int Rtp::begin(Call& call) {
  Session& s = of(call);
  call.journal(std::to_string(s.number) + " " + recordText(call));
  if (!s.record.empty()) return -EBUSY;
  s.record.assign(reinterpret_cast<const char*>(call.record), call.size);
  publish("begin " + std::to_string(s.number));
  return 0;
}

int Rtp::addChannel(Call& call) {
  Session& s = of(call);
  call.journal(std::to_string(s.number) + " " + recordText(call));
  const int32_t asked = call.in.get(Eng::Channel::Tdm);
  if (s.record.empty() || s.channel >= 0) return -EINVAL;
  int32_t channel = -1;
  if (asked >= 0) {
    if (asked < FirstChannel || asked >= FirstChannel + int32_t(Capacity)) return -EINVAL;
    if (channelTaken(asked)) return -EBUSY;
    channel = asked;
  } else {
    for (int32_t c = FirstChannel; c < FirstChannel + int32_t(Capacity) && channel < 0; ++c) {
      if (!channelTaken(c)) channel = c;
    }
    if (channel < 0) return -ENOSPC;
  }
  s.channel = channel;
  call.out.put(Eng::Channel::Tdm, channel);
  publish("channel " + std::to_string(s.number) + " " + std::to_string(channel));
  return 0;
}

int Rtp::teardown(Call& call) {
  call.journal(std::to_string(of(call).number));
  return 0;
}

int Rtp::input(Call& call) {
  Session& s = of(call);
  call.journal(std::to_string(s.number));
  if (s.channel < 0) return -EINVAL;
  s.input = call.request == Eng::InputOn;
  return 0;
}

int Rtp::attach(Call& call) {
  call.journal(std::to_string(of(call).number) + " " + recordText(call));
  return of(call).record.empty() ? -EINVAL : 0;
}

int Rtp::detectorOn(Call& call) {
  Session& s = of(call);
  call.journal(std::to_string(s.number) + " " + recordText(call));
  if (call.in.get(Eng::EventOn::Type) != Eng::PacketDetector) return -EINVAL;
  s.detector = true;
  s.detectorTimeout = call.in.get(Eng::EventOn::Timeout);
  return 0;
}

int Rtp::detectorOff(Call& call) {
  Session& s = of(call);
  call.journal(std::to_string(s.number) + " " + recordText(call));
  if (call.in.get(Eng::EventOff::Type) != Eng::PacketDetector) return -EINVAL;
  s.detector = false;
  return 0;
}

bool Rtp::queue(unsigned number, uint32_t type, int32_t value, int32_t timeout, std::string& why) {
  for (const OpenFile& f : files()) {
    const auto s = sessions_.all().find(f.id);
    if (s == sessions_.all().end() || s->second.number != number) continue;
    // The engine queues packet-detector events only while the detector is on.
    if (type == Eng::PacketDetector && !s->second.detector) {
      why = "packet detector off in session " + std::to_string(number);
      return false;
    }
    uint8_t record[Eng::Event::Size] = {};
    RecordWriter out(record, sizeof record);
    out.put(Eng::Event::Type, type);
    out.put(Eng::Event::Value, value);
    out.put(Eng::Event::Timeout, timeout);
    if (::send(f.peer, record, sizeof record, MSG_DONTWAIT | MSG_NOSIGNAL) == ssize_t(sizeof record)) return true;
    why = "event queue full in session " + std::to_string(number);
    return false;
  }
  why = "no session: " + std::to_string(number);
  return false;
}

void Rtp::sessionsCommand(Args&, Reply& reply) {
  for (const auto& entry : sessions_.all()) {
    const Session& s = entry.second;
    reply.line(std::to_string(s.number) + " channel=" + std::to_string(s.channel) +
               " input=" + (s.input ? "on" : "off") +
               " pd=" + (s.detector ? "on timeout=" + std::to_string(s.detectorTimeout) : std::string("off")) +
               " session=" + (s.record.empty() ? std::string("none") : Hex::encode(s.record, Hex::Lower)));
  }
}

void Rtp::eventCommand(Args& args, Reply& reply) {
  const unsigned number = unsigned(args.number("session", 1, UINT32_MAX));
  const uint32_t type = uint32_t(args.number("type", 0, UINT32_MAX));
  const int32_t value = int32_t(args.number("value", INT32_MIN, INT32_MAX));
  const Session* s = args ? session(number) : nullptr;
  const int32_t timeout = int32_t(args.number("timeout", INT32_MIN, INT32_MAX, s ? s->detectorTimeout : 0));
  std::string why;
  if (args && !queue(number, type, value, timeout, why)) reply.fail(why);
}

void Rtp::resetState() { opened_ = 0; }

}  // namespace Sim
}  // namespace Board
