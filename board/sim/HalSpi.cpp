#include "board/sim/HalSpi.h"

#include "board/Record.h"
#include "board/Request.h"
#include "board/sim/ArgNumber.h"

#include <cerrno>
#include <cstdio>

namespace Board {
namespace Sim {

const uint32_t HalSpi::WriteRequest = Request::iowr('B', 4, 3);
const uint32_t HalSpi::ReadRequest = Request::iowr('B', 3, 3);

namespace {

// The register access record.
enum : size_t { LineAt = 0, AddressAt = 1, DataAt = 2 };

struct LineState {
  const char* name;
  uint8_t status;
};

// Carrier is bit 0, basic frame bit 2, the alarm indications bits 7 and 6.
const LineState lineStates[] = {
    {"normal", 0xC5}, {"lossBF", 0x01}, {"lossCarrier", 0x00}, {"ais", 0x45}, {"rai", 0x85},
};

std::string hexByte(unsigned v) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", v);
  return text;
}

const char* usage = "usage: hal spi line N STATE [slip] | reg N ADDR [VALUE] | writes | reads | clear";

void lineCommand(HalSpi& spi, const Args& a, Reply& reply) {
  long line;
  uint8_t status;
  if (a.size() < 3 || a.size() > 4 || (a.size() == 4 && a[3] != "slip")) return reply.fail(usage);
  if (!argNumber(a[1], 0, HalSpi::Interfaces - 1, line)) return reply.fail("bad line: " + a[1]);
  if (!HalSpi::statusFor(a[2], status)) return reply.fail("bad state: " + a[2]);
  if (a.size() == 4) status |= HalSpi::SlipBit;
  spi.setReg(unsigned(line), HalSpi::StatusRegister, status);
}

void regCommand(HalSpi& spi, const Args& a, Reply& reply) {
  long line, address, value;
  if (a.size() < 3 || a.size() > 4) return reply.fail(usage);
  if (!argNumber(a[1], 0, HalSpi::Interfaces - 1, line)) return reply.fail("bad line: " + a[1]);
  if (!argNumber(a[2], 0, HalSpi::Registers - 1, address)) return reply.fail("bad address: " + a[2]);
  if (a.size() == 3) return reply.line(hexByte(spi.reg(unsigned(line), unsigned(address))));
  if (!argNumber(a[3], 0, 255, value)) return reply.fail("bad value: " + a[3]);
  spi.setReg(unsigned(line), unsigned(address), uint8_t(value));
}

void run(Device& d, const Args& a, Reply& reply) {
  auto* spi = static_cast<Hal&>(d).part<HalSpi>();
  const std::string sub = a.empty() ? "" : a[0];
  if (sub == "line") return lineCommand(*spi, a, reply);
  if (sub == "reg") return regCommand(*spi, a, reply);
  if (sub == "writes" && a.size() == 1) {
    for (const HalSpi::Write& w : spi->writes()) reply.line(HalSpi::format(w));
  } else if (sub == "reads" && a.size() == 1) {
    reply.line(std::to_string(spi->reads()));
  } else if (sub == "clear" && a.size() == 1) {
    spi->clearWrites();
  } else {
    reply.fail(usage);
  }
}

}  // namespace

int HalSpi::ioctl(OpenFile&, uint32_t request, uint8_t* record, size_t len) {
  if (request != WriteRequest && request != ReadRequest) return -ENOTTY;
  RecordReader in(record, len);
  const uint8_t line = in.u8(LineAt);
  const uint8_t address = in.u8(AddressAt);
  const uint8_t data = in.u8(DataAt);
  if (!in.ok() || line >= Interfaces) return -EINVAL;
  if (request == ReadRequest) {
    ++reads_;
    return registers_[line][address];
  }
  registers_[line][address] = data;
  if (writes_.size() == JournalLimit) writes_.pop_front();
  writes_.push_back(Write{line, address, data});
  publish("spi " + format(writes_.back()));
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
  return std::to_string(w.line) + " " + hexByte(w.address) + " " + hexByte(w.value);
}

Command HalSpi::command() const {
  return Command{"spi", "line N STATE [slip] | reg N ADDR [VALUE] | writes | reads | clear", run};
}

void HalSpi::reset() {
  registers_ = {};
  writes_.clear();
  reads_ = 0;
}

}  // namespace Sim
}  // namespace Board
