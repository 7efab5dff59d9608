#pragma once
// SPI access to the eight BRI line interface chips of the board-control device:
// a file of 256 8-bit registers per interface, written and read by the daemon.
// A test sets any register, and a line's state through its status register;
// every register write is kept in a journal.

#include "board/dev/Hal.h"
#include "board/sim/BoundedLog.h"
#include "board/sim/Hal.h"

#include <array>
#include <cstdint>
#include <string>

namespace Board {
namespace Sim {

class HalSpi : public HalPart {
public:
  static constexpr unsigned Interfaces = Dev::Hal::Spi::Interfaces;
  static constexpr unsigned Registers = Dev::Hal::Spi::Registers;
  static constexpr size_t JournalLimit = 4096;

  struct Write {
    uint8_t line;
    uint8_t address;
    uint8_t value;
  };

  explicit HalSpi(Hal& hal);
  void reset() override;

  uint8_t reg(unsigned line, unsigned address) const { return registers_.at(line).at(address); }
  void setReg(unsigned line, unsigned address, uint8_t value) { registers_.at(line).at(address) = value; }
  // The status register value that reads as the named state ("normal",
  // "lossBF", "lossCarrier", "ais", "rai"); false for another name.
  static bool statusFor(const std::string& state, uint8_t& value);

  const BoundedLog<Write>& writes() const { return writes_; }
  // Register reads answered since power-on.
  uint64_t reads() const { return reads_; }
  // One journal line: "3 0x32 0x00".
  static std::string format(const Write& w);

private:
  static const Answer<HalSpi> requestTable[];
  static const Control<HalSpi> commandTable[];

  int access(Call& call);
  void lineCommand(Args& args, Reply& reply);
  void regCommand(Args& args, Reply& reply);
  void writesCommand(Args& args, Reply& reply);
  void readsCommand(Args& args, Reply& reply);
  void clearCommand(Args& args, Reply& reply);

  std::array<std::array<uint8_t, Registers>, Interfaces> registers_{};
  BoundedLog<Write> writes_{JournalLimit};
  uint64_t reads_ = 0;
};

}  // namespace Sim
}  // namespace Board
