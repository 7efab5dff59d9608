#pragma once
// The TDM clock source of the board-control device (request group 'C'): the
// clock select request picks a source number, which the part keeps together
// with every selection made since power-on.

#include "board/sim/Hal.h"

#include <cstdint>
#include <deque>

namespace Board {
namespace Sim {

class HalClock : public HalPart {
public:
  static const uint32_t SelectRequest;
  // Power-on: no source selected yet.
  static constexpr int32_t NoSource = -1;
  static constexpr size_t HistoryLimit = 256;

  explicit HalClock(Hal& hal) : HalPart(hal) {}

  uint32_t group() const override { return 'C'; }
  int ioctl(OpenFile&, uint32_t request, uint8_t* record, size_t len) override;
  Command command() const override;
  void reset() override;

  int32_t source() const { return source_; }
  // Every selection, oldest first (the latest HistoryLimit).
  const std::deque<int32_t>& history() const { return history_; }

private:
  int32_t source_ = NoSource;
  std::deque<int32_t> history_;
};

}  // namespace Sim
}  // namespace Board
