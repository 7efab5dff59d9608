#pragma once
// SPI access to the eight BRI line interface chips of the board-control device
// (request group 'B'): a file of 256 8-bit registers per interface, written
// and read by the daemon. A test sets any register, and a line's state
// through its status register; every register write is kept in a journal.

#include "board/sim/Hal.h"

#include <array>
#include <cstdint>
#include <deque>
#include <string>

namespace Board {
namespace Sim {

class HalSpi : public HalPart {
public:
  static constexpr unsigned Interfaces = 8;
  static constexpr unsigned Registers = 256;
  static constexpr uint8_t StatusRegister = 0x33;
  static constexpr uint8_t SlipBit = 0x20;
  static const uint32_t WriteRequest;
  static const uint32_t ReadRequest;
  static constexpr size_t JournalLimit = 4096;

  struct Write {
    uint8_t line;
    uint8_t address;
    uint8_t value;
  };

  explicit HalSpi(Hal& hal) : HalPart(hal) {}

  uint32_t group() const override { return 'B'; }
  int ioctl(OpenFile&, uint32_t request, uint8_t* record, size_t len) override;
  Command command() const override;
  void reset() override;

  uint8_t reg(unsigned line, unsigned address) const { return registers_.at(line).at(address); }
  void setReg(unsigned line, unsigned address, uint8_t value) { registers_.at(line).at(address) = value; }
  // The status register value that reads as the named state ("normal",
  // "lossBF", "lossCarrier", "ais", "rai"); false for another name.
  static bool statusFor(const std::string& state, uint8_t& value);

  const std::deque<Write>& writes() const { return writes_; }
  // Register reads answered since power-on.
  uint64_t reads() const { return reads_; }
  void clearWrites() { writes_.clear(); }
  // One journal line: "3 0x32 0x00".
  static std::string format(const Write& w);

private:
  std::array<std::array<uint8_t, Registers>, Interfaces> registers_{};
  std::deque<Write> writes_;
  uint64_t reads_ = 0;
};

}  // namespace Sim
}  // namespace Board
