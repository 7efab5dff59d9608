#include "board/sim/ModemCtl.h"

#include "board/sim/Hex.h"

#include <cerrno>
#include <climits>

namespace Board {
namespace Sim {

namespace Ctl = Dev::Mctl;

const Answer<ModemCtl> ModemCtl::requestTable[] = {
    {Ctl::Enumerate, "enumerate", &ModemCtl::enumerate, Form::Value},
    {Ctl::Allocate, "allocate", &ModemCtl::allocate, Form::Value},
    {Ctl::Timeslot, "timeslot", &ModemCtl::timeslot, Form::Value},
    {Ctl::SetDdm, "ddm", &ModemCtl::setDataModes, Form::Record, Ctl::ModemWord::Size},
    {Ctl::ResetDmp, "dmp-reset", &ModemCtl::resetParameters, Form::Record, Ctl::ModemWord::Size},
    {Ctl::SetDmp, "dmp", &ModemCtl::setParameter, Form::Record, Ctl::Parameter::Size},
    {Ctl::Answer, "answer", &ModemCtl::answerCall, Form::Record, Ctl::ModemWord::Size},
    {Ctl::Originate, "originate", &ModemCtl::originate, Form::Record, Ctl::ModemWord::Size},
    {Ctl::OriginateFax, "originate-fax", &ModemCtl::originateFax, Form::Record, Ctl::ModemWord::Size},
};

const Control<ModemCtl> ModemCtl::commandTable[] = {
    {"modems", "", &ModemCtl::modemsCommand},
    {"add", "MODEM CHANNEL", &ModemCtl::addCommand},
};

const char* ModemCtl::name(CallState state) {
  static const char* const names[] = {"idle", "answer", "originate", "originate-fax"};
  return names[int(state)];
}

ModemCtl::ModemCtl()
    : Device("mctl", Ctl::Path, JournalCommands), allocations_(*this, [this](int32_t& number) {
        auto it = modems_.find(number);
        if (it == modems_.end()) return;
        Modem idle;
        idle.channel = it->second.channel;
        it->second = idle;
        publish("free " + std::to_string(number));
      }) {
  answer(this, requestTable);
  control(this, commandTable);
}

void ModemCtl::add(int32_t number, int32_t channel) { modems_[number].channel = channel; }

void ModemCtl::resetState() { modems_.clear(); }

ModemCtl::Modem* ModemCtl::held(Call& call, int32_t number) {
  const int32_t* mine = allocations_.find(call.file());
  return mine && *mine == number ? &modems_[number] : nullptr;
}

int ModemCtl::enumerate(Call& call) {
  // The previous result comes as a plain number: -1 first.
  const long previous = long(int32_t(uint32_t(call.value)));
  auto it = modems_.upper_bound(int32_t(previous < INT32_MIN ? INT32_MIN : previous));
  return it == modems_.end() ? -ENODEV : it->first;
}

int ModemCtl::allocate(Call& call) {
  call.journal();
  if (allocations_.find(call.file())) return -EBUSY;
  for (auto& m : modems_) {
    if (m.second.allocated) continue;
    m.second.allocated = true;
    allocations_.of(call.file()) = m.first;
    publish("allocate " + std::to_string(m.first));
    return m.first;
  }
  return -EBUSY;
}

int ModemCtl::timeslot(Call& call) {
  const int32_t* mine = allocations_.find(call.file());
  return mine ? modems_[*mine].channel : -EINVAL;
}

int ModemCtl::setDataModes(Call& call) {
  const int32_t number = call.in.get(Ctl::ModemWord::Modem);
  const uint32_t flags = uint32_t(call.in.get(Ctl::ModemWord::Word));
  call.journal(std::to_string(number) + " flags=" + Hex::number(flags));
  Modem* m = held(call, number);
  if (!m) return -EINVAL;
  m->dataModes = flags;
  return 0;
}

int ModemCtl::resetParameters(Call& call) {
  const int32_t number = call.in.get(Ctl::ModemWord::Modem);
  call.journal(std::to_string(number));
  Modem* m = held(call, number);
  if (!m) return -EINVAL;
  m->parameters.clear();
  return 0;
}

int ModemCtl::setParameter(Call& call) {
  const int32_t number = call.in.get(Ctl::Parameter::Modem);
  const int32_t offset = call.in.get(Ctl::Parameter::Offset);
  const int32_t value = call.in.get(Ctl::Parameter::Value);
  call.journal(std::to_string(number) + " " + std::to_string(offset) + "=" + std::to_string(value));
  Modem* m = held(call, number);
  if (!m) return -EINVAL;
  m->parameters.emplace_back(offset, value);
  return 0;
}

int ModemCtl::placeCall(Call& call, CallState state) {
  const int32_t number = call.in.get(Ctl::ModemWord::Modem);
  call.journal(std::to_string(number));
  Modem* m = held(call, number);
  if (!m) return -EINVAL;
  m->call = state;
  return 0;
}

int ModemCtl::answerCall(Call& call) { return placeCall(call, CallState::Answer); }

int ModemCtl::originate(Call& call) { return placeCall(call, CallState::Originate); }

int ModemCtl::originateFax(Call& call) { return placeCall(call, CallState::FaxOriginate); }

void ModemCtl::modemsCommand(Args&, Reply& reply) {
  for (const auto& [number, m] : modems_) {
    std::string line = std::to_string(number) + " channel=" + std::to_string(m.channel) +
                       (m.allocated ? " allocated" : " free") + " ddm=" + Hex::number(m.dataModes) + " dmp=";
    for (const auto& [offset, value] : m.parameters) {
      line +=
          (&offset == &m.parameters.front().first ? "" : ",") + std::to_string(offset) + "=" + std::to_string(value);
    }
    reply.line(line + " call=" + name(m.call));
  }
}

void ModemCtl::addCommand(Args& args, Reply&) {
  const int32_t number = int32_t(args.number("modem", 0, INT32_MAX));
  const int32_t channel = int32_t(args.number("channel", 0, INT32_MAX));
  if (args) add(number, channel);
}

}  // namespace Sim
}  // namespace Board
