#pragma once
// The panel of the board-control device: the DIP switch byte and the raw
// power-supply byte the daemon reads, and the front-panel LED byte it writes.
// A test sets the two bytes read; every panel request is kept in a journal,
// so the order of an LED write and the reads after it shows.

#include "board/sim/BoundedLog.h"
#include "board/sim/Hal.h"

#include <cstdint>
#include <string>

namespace Board {
namespace Sim {

class HalPanel : public HalPart {
public:
  static constexpr size_t JournalLimit = 256;
  // Power-on: the LEDs never written.
  static constexpr int NoLeds = -1;

  explicit HalPanel(Hal& hal);
  void reset() override;

  uint8_t dip() const { return dip_; }
  uint8_t power() const { return power_; }
  int leds() const { return leds_; }
  // "dip 0x05", "power 0x00", "leds 0x03", oldest first (the latest JournalLimit).
  const BoundedLog<std::string>& requests() const { return requests_; }

private:
  static const Answer<HalPanel> requestTable[];
  static const Control<HalPanel> commandTable[];

  int readDip(Call& call);
  int readPower(Call& call);
  int writeLeds(Call& call);
  int answerByte(Call& call, const char* name, uint8_t value);
  void dipCommand(Args& args, Reply& reply);
  void powerCommand(Args& args, Reply& reply);
  void ledsCommand(Args& args, Reply& reply);
  void requestsCommand(Args& args, Reply& reply);
  void clearCommand(Args& args, Reply& reply);
  // Reads the byte, or sets it from the argument.
  void byteCommand(uint8_t& byte, Args& args, Reply& reply);

  uint8_t dip_ = 0;
  uint8_t power_ = 0;
  int leds_ = NoLeds;
  BoundedLog<std::string> requests_{JournalLimit};
};

}  // namespace Sim
}  // namespace Board
