#pragma once
// The E1 framers' maintenance device: per trunk a synchronisation status that
// a test sets (state, slips and the loss counters), read back by the status
// request, and the transmit-clock mask with every value pushed to it.

#include "board/dev/Maintenance.h"
#include "board/sim/BoundedLog.h"
#include "board/sim/Device.h"

#include <array>
#include <cstdint>

namespace Board {
namespace Sim {

class Maintenance : public Device {
public:
  static constexpr unsigned Trunks = Dev::Maintenance::Trunks;
  // Mask writes kept for a test to read.
  static constexpr size_t TclkLimit = 256;

  struct TrunkStatus {
    uint32_t state = 0;  // as the driver gives it, values outside the enumeration included
    uint32_t slips = 0;
    uint32_t lossBF = 0;
    uint32_t lossCarrier = 0;
    uint32_t lossAIS = 0;
    uint32_t lossRAI = 0;
    uint64_t reads = 0;  // status requests answered for this trunk
  };

  Maintenance();

  void history(Reply& reply) const override;

  TrunkStatus& trunk(unsigned n) { return trunks_.at(n); }
  const TrunkStatus& trunk(unsigned n) const { return trunks_.at(n); }
  // The mask as last pushed, and every push, oldest first.
  uint32_t tclk() const { return tclk_; }
  const BoundedLog<uint32_t>& tclkWrites() const { return tclkWrites_; }

  static std::string format(unsigned n, const TrunkStatus& t);
  static std::string formatTclk(uint32_t mask);

protected:
  void resetState() override;

private:
  static const Answer<Maintenance> requestTable[];
  static const Control<Maintenance> commandTable[];

  int syncStatus(Call& call);
  int transmitClock(Call& call);
  void statusCommand(Args& args, Reply& reply);
  void setCommand(Args& args, Reply& reply);
  void tclkCommand(Args& args, Reply& reply);

  std::array<TrunkStatus, Trunks> trunks_;
  uint32_t tclk_ = 0;
  BoundedLog<uint32_t> tclkWrites_{TclkLimit};
};

}  // namespace Sim
}  // namespace Board
