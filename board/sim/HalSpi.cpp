#include "board/sim/HalSpi.h"

#include "board/sim/Hex.h"

#include <cerrno>

namespace Board {
namespace Sim {

namespace Spi = Dev::Hal::Spi;

namespace {

struct LineState {
  const char* name;
  uint8_t status;
};

const LineState lineStates[] = {
    {"normal", Spi::Carrier | Spi::BasicFrame | Spi::NoAlarm},
    {"lossBF", Spi::Carrier},
    {"lossCarrier", 0},
    {"ais", Spi::Carrier | Spi::BasicFrame | Spi::AlarmIndication},
    {"rai", Spi::Carrier | Spi::BasicFrame | Spi::RemoteAlarm},
};

}  // namespace

const Answer<HalSpi> HalSpi::requestTable[] = {
    {Spi::ReadRegister, "read", &HalSpi::access},
    {Spi::WriteRegister, "write", &HalSpi::access},
};

const Control<HalSpi> HalSpi::commandTable[] = {
    {"spi line", "N STATE [slip]", &HalSpi::lineCommand},
    {"spi reg", "N ADDR [VALUE]", &HalSpi::regCommand},
    {"spi writes", "", &HalSpi::writesCommand},
    {"spi reads", "", &HalSpi::readsCommand},
    {"spi clear", "", &HalSpi::clearCommand},
};

HalSpi::HalSpi(Hal& hal) : HalPart(hal) {
  hal.answer(this, requestTable);
  hal.control(this, commandTable);
}

int HalSpi::access(Call& call) {
  const uint8_t line = call.in.get(Spi::Record::Interface);
  const uint8_t address = call.in.get(Spi::Record::Address);
  const uint8_t data = call.in.get(Spi::Record::Data);
  if (!call.in.ok() || line >= Interfaces) return -EINVAL;
  if (call.request == Spi::ReadRegister) {
    ++reads_;
    return registers_[line][address];
  }
  registers_[line][address] = data;
  writes_.add(Write{line, address, data});
  hal_.publish("spi " + format(writes_.back()));
  return 0;
}

bool HalSpi::statusFor(const std::string& state, uint8_t& value) {
  for (const LineState& s : lineStates) {
    if (state != s.name) continue;
    value = s.status;
    return true;
  }
  return false;
}

std::string HalSpi::format(const Write& w) {
  return std::to_string(w.line) + " " + Hex::number(w.address, 2) + " " + Hex::number(w.value, 2);
}

void HalSpi::lineCommand(Args& args, Reply& reply) {
  const unsigned line = unsigned(args.number("line", 0, Interfaces - 1));
  const std::string state = args.word();
  uint8_t status = 0;
  if (args && !statusFor(state, status)) args.bad("state", state);
  if (args.more() && args.word() != "slip") return reply.fail("usage: hal spi line N STATE [slip]");
  if (args.size() == 3) status |= Spi::Slip;
  if (args) setReg(line, Spi::Status, status);
}

void HalSpi::regCommand(Args& args, Reply& reply) {
  const unsigned line = unsigned(args.number("line", 0, Interfaces - 1));
  const unsigned address = unsigned(args.number("address", 0, Registers - 1));
  if (args && !args.more()) return reply.line(Hex::number(reg(line, address), 2));
  const uint8_t value = uint8_t(args.number("value", 0, 255));
  if (args) setReg(line, address, value);
}

void HalSpi::writesCommand(Args&, Reply& reply) {
  for (const Write& w : writes_) reply.line(format(w));
}

void HalSpi::readsCommand(Args&, Reply& reply) { reply.line(std::to_string(reads_)); }

void HalSpi::clearCommand(Args&, Reply&) { writes_.clear(); }

void HalSpi::reset() {
  registers_ = {};
  writes_.clear();
  reads_ = 0;
}

}  // namespace Sim
}  // namespace Board
