#include "board/sim/Maintenance.h"

#include "board/sim/Hex.h"

#include <cerrno>

namespace Board {
namespace Sim {

namespace Status = Dev::Maintenance::Status;

namespace {

struct StatusField {
  const char* name;
  uint32_t Maintenance::TrunkStatus::*member;
};

const StatusField fields[] = {
    {"state", &Maintenance::TrunkStatus::state},     {"slips", &Maintenance::TrunkStatus::slips},
    {"lossBF", &Maintenance::TrunkStatus::lossBF},   {"lossCarrier", &Maintenance::TrunkStatus::lossCarrier},
    {"lossAIS", &Maintenance::TrunkStatus::lossAIS}, {"lossRAI", &Maintenance::TrunkStatus::lossRAI},
};

}  // namespace

const Answer<Maintenance> Maintenance::requestTable[] = {
    {Dev::Maintenance::SyncStatus, "status", &Maintenance::syncStatus},
    {Dev::Maintenance::TransmitClock, "tclk", &Maintenance::transmitClock, Form::Value},
};

const Control<Maintenance> Maintenance::commandTable[] = {
    {"status", "", &Maintenance::statusCommand},
    {"set", "TRUNK FIELD VALUE [FIELD VALUE ...]", &Maintenance::setCommand},
    {"tclk", "", &Maintenance::tclkCommand},
};

Maintenance::Maintenance() : Device("maintenance", Dev::Maintenance::Path) {
  answer(this, requestTable);
  control(this, commandTable);
}

int Maintenance::syncStatus(Call& call) {
  const uint32_t n = call.in.get(Status::Trunk);
  if (n >= Trunks) return -EINVAL;
  TrunkStatus& t = trunks_[n];
  ++t.reads;
  call.out.put(Status::Slips, int32_t(t.slips));
  call.out.put(Status::LossBF, int32_t(t.lossBF));
  call.out.put(Status::LossCarrier, int32_t(t.lossCarrier));
  call.out.put(Status::LossAIS, int32_t(t.lossAIS));
  call.out.put(Status::LossRAI, int32_t(t.lossRAI));
  call.out.put(Status::State, t.state);
  return 0;
}

int Maintenance::transmitClock(Call& call) {
  tclk_ = uint32_t(call.value);
  tclkWrites_.add(tclk_);
  publish(formatTclk(tclk_));
  return 0;
}

void Maintenance::statusCommand(Args&, Reply& reply) {
  for (unsigned n = 0; n < Trunks; ++n) reply.line(format(n, trunks_[n]));
}

// Every pair is checked before any is applied: a bad line changes nothing.
void Maintenance::setCommand(Args& args, Reply& reply) {
  if (args.size() % 2 == 0) return reply.fail("usage: maintenance set TRUNK FIELD VALUE [FIELD VALUE ...]");
  const unsigned n = unsigned(args.number("trunk", 0, Trunks - 1));
  TrunkStatus next = trunks_[n];
  while (args && args.more()) {
    const std::string name = args.word();
    const StatusField* field = nullptr;
    for (const StatusField& f : fields) {
      if (name == f.name) field = &f;
    }
    if (!field) return args.bad("field", name);
    next.*field->member = uint32_t(args.number("value", -0x80000000ll, 0xFFFFFFFFll));
  }
  if (args) trunks_[n] = next;
}

void Maintenance::tclkCommand(Args&, Reply& reply) { history(reply); }

void Maintenance::history(Reply& reply) const {
  for (uint32_t mask : tclkWrites_) reply.line(formatTclk(mask));
}

std::string Maintenance::format(unsigned n, const TrunkStatus& t) {
  std::string line = "trunk " + std::to_string(n);
  for (const StatusField& f : fields) line += std::string(" ") + f.name + " " + std::to_string(t.*f.member);
  return line + " reads " + std::to_string(t.reads);
}

std::string Maintenance::formatTclk(uint32_t mask) { return "tclk " + Hex::number(mask, 8); }

void Maintenance::resetState() {
  trunks_ = {};
  tclk_ = 0;
  tclkWrites_.clear();
}

}  // namespace Sim
}  // namespace Board
