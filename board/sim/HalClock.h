#pragma once
// The TDM clock source of the board-control device: the clock select request
// picks a source number, which the part keeps together with every selection
// made since power-on.

#include "board/sim/BoundedLog.h"
#include "board/sim/Hal.h"

#include <cstdint>

namespace Board {
namespace Sim {

class HalClock : public HalPart {
public:
  // Power-on: no source selected yet.
  static constexpr int32_t NoSource = -1;
  static constexpr size_t HistoryLimit = 256;

  explicit HalClock(Hal& hal);
  void reset() override;

  int32_t source() const { return source_; }
  // Every selection, oldest first (the latest HistoryLimit).
  const BoundedLog<int32_t>& history() const { return history_; }

private:
  static const Answer<HalClock> requestTable[];
  static const Control<HalClock> commandTable[];

  int select(Call& call);
  void sourceCommand(Args& args, Reply& reply);
  void historyCommand(Args& args, Reply& reply);
  void clearCommand(Args& args, Reply& reply);

  int32_t source_ = NoSource;
  BoundedLog<int32_t> history_{HistoryLimit};
};

}  // namespace Sim
}  // namespace Board
