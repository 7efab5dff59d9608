#pragma once
// The TDM switch of the board-control device. It keeps the full map of its
// outputs: each is off (power-on), carries a source channel, or is driven
// with a constant byte. Reads return the byte on a channel: an output's
// constant, or the byte a test set on the channel (or on the source an
// output carries); 0xFF when nothing was set. A channel whose loop-back is
// broken (stuck) reads back its stuck byte whatever it is driven with or
// carries, as a faulty backplane line would.

#include "board/dev/Hal.h"
#include "board/sim/Hal.h"

#include <cstdint>
#include <map>
#include <string>

namespace Board {
namespace Sim {

class HalSwitch : public HalPart {
public:
  static constexpr int32_t Channels = Dev::Hal::Switch::Channels;

  struct Output {
    bool driven;    // false: carries `value` as source channel
    int32_t value;  // the source channel, or the constant byte
  };

  struct Counts {
    unsigned connect = 0, disable = 0, write = 0, read = 0;
  };

  explicit HalSwitch(Hal& hal);
  void reset() override;

  // Outputs that are not off, by channel.
  const std::map<int32_t, Output>& outputs() const { return outputs_; }
  // The source an output carries, -1 when it carries none.
  int32_t sourceOf(int32_t output) const;
  const Counts& counts() const { return counts_; }
  void setLineByte(int32_t channel, uint8_t value) { lineBytes_[channel] = value; }
  uint8_t byteOn(int32_t channel) const;
  void stick(int32_t channel, uint8_t value) { stuck_[channel] = value; }
  void unstick(int32_t channel) { stuck_.erase(channel); }
  // One map line: "8192 <- 69", or "8193 = 0xD5" for a driven output.
  static std::string format(int32_t output, const Output& o);

private:
  static const Answer<HalSwitch> requestTable[];
  static const Control<HalSwitch> commandTable[];

  int connect(Call& call);
  int disable(Call& call);
  int write(Call& call);
  int read(Call& call);
  void mapCommand(Args& args, Reply& reply);
  void countsCommand(Args& args, Reply& reply);
  void lineCommand(Args& args, Reply& reply);
  void stuckCommand(Args& args, Reply& reply);
  void unstickCommand(Args& args, Reply& reply);
  void clearCommand(Args& args, Reply& reply);

  std::map<int32_t, Output> outputs_;
  std::map<int32_t, uint8_t> lineBytes_;
  std::map<int32_t, uint8_t> stuck_;
  Counts counts_;
};

}  // namespace Sim
}  // namespace Board
