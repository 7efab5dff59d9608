#include "board/sim/Maintenance.h"

#include "board/Paths.h"
#include "board/Record.h"
#include "board/Request.h"
#include "board/sim/ArgNumber.h"

#include <cerrno>
#include <cstdio>
#include <iterator>

namespace Board {
namespace Sim {

const uint32_t Maintenance::StatusRequest = Request::iowr('M', 3, StatusSize);
const uint32_t Maintenance::TclkRequest = Request::iowr('M', 11, 4);

namespace {

// Offsets in the status record.
enum : size_t {
  TrunkAt = 0,
  SlipsAt = 36,
  LossBFAt = 40,
  LossCarrierAt = 44,
  LossAISAt = 48,
  LossRAIAt = 52,
  StateAt = 76,
};

struct Field {
  const char* name;
  uint32_t Maintenance::TrunkStatus::*member;
};

const Field fields[] = {
    {"state", &Maintenance::TrunkStatus::state},
    {"slips", &Maintenance::TrunkStatus::slips},
    {"lossBF", &Maintenance::TrunkStatus::lossBF},
    {"lossCarrier", &Maintenance::TrunkStatus::lossCarrier},
    {"lossAIS", &Maintenance::TrunkStatus::lossAIS},
    {"lossRAI", &Maintenance::TrunkStatus::lossRAI},
};

void statusCommand(Device& d, const Args& args, Reply& reply) {
  if (!args.empty()) return reply.fail("usage: maintenance status");
  auto& m = static_cast<Maintenance&>(d);
  for (unsigned n = 0; n < Maintenance::Trunks; ++n) reply.line(Maintenance::format(n, m.trunk(n)));
}

void setCommand(Device& d, const Args& args, Reply& reply) {
  const char* usage = "usage: maintenance set TRUNK FIELD VALUE [FIELD VALUE ...]";
  if (args.size() < 3 || args.size() % 2 == 0) return reply.fail(usage);
  long trunk;
  if (!argNumber(args[0], 0, Maintenance::Trunks - 1, trunk)) return reply.fail("bad trunk: " + args[0]);
  // Every pair is checked before any is applied: a bad line changes nothing.
  Maintenance::TrunkStatus next = static_cast<Maintenance&>(d).trunk(unsigned(trunk));
  for (size_t i = 1; i < args.size(); i += 2) {
    const Field* field = nullptr;
    for (const Field& f : fields) {
      if (args[i] == f.name) field = &f;
    }
    if (!field) return reply.fail("bad field: " + args[i]);
    long value;
    if (!argNumber(args[i + 1], -0x80000000l, 0xFFFFFFFFl, value)) return reply.fail("bad value: " + args[i + 1]);
    next.*field->member = uint32_t(value);
  }
  static_cast<Maintenance&>(d).trunk(unsigned(trunk)) = next;
}

void tclkCommand(Device& d, const Args& args, Reply& reply) {
  if (!args.empty()) return reply.fail("usage: maintenance tclk");
  d.history(reply);
}

}  // namespace

Maintenance::Maintenance() : Device("maintenance", Paths::Maintenance) {}

int Maintenance::ioctl(OpenFile&, uint32_t request, uint8_t* record, size_t len) {
  if (request != StatusRequest) return -ENOTTY;
  const uint32_t n = RecordReader(record, len).u32(TrunkAt);
  if (n >= Trunks) return -EINVAL;
  TrunkStatus& t = trunks_[n];
  ++t.reads;
  RecordWriter out(record, len);
  out.u32(SlipsAt, t.slips);
  out.u32(LossBFAt, t.lossBF);
  out.u32(LossCarrierAt, t.lossCarrier);
  out.u32(LossAISAt, t.lossAIS);
  out.u32(LossRAIAt, t.lossRAI);
  out.u32(StateAt, t.state);
  return 0;
}

int Maintenance::ioctlValue(OpenFile&, uint32_t request, unsigned long value) {
  if (request != TclkRequest) return -ENOTTY;
  tclk_ = uint32_t(value);
  if (tclkWrites_.size() == TclkLimit) tclkWrites_.pop_front();
  tclkWrites_.push_back(tclk_);
  publish(formatTclk(tclk_));
  return 0;
}

std::vector<Command> Maintenance::commands() const {
  static const Command table[] = {
      {"status", "", statusCommand},
      {"set", "TRUNK FIELD VALUE [FIELD VALUE ...]", setCommand},
      {"tclk", "", tclkCommand},
  };
  return {std::begin(table), std::end(table)};
}

void Maintenance::history(Reply& reply) const {
  for (uint32_t mask : tclkWrites_) reply.line(formatTclk(mask));
}

std::string Maintenance::format(unsigned n, const TrunkStatus& t) {
  std::string line = "trunk " + std::to_string(n);
  for (const Field& f : fields) line += std::string(" ") + f.name + " " + std::to_string(t.*f.member);
  return line + " reads " + std::to_string(t.reads);
}

std::string Maintenance::formatTclk(uint32_t mask) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", unsigned(mask));
  return std::string("tclk ") + text;
}

void Maintenance::resetState() {
  trunks_ = {};
  tclk_ = 0;
  tclkWrites_.clear();
}

}  // namespace Sim
}  // namespace Board
