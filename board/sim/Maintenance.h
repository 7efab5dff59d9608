#pragma once
// The E1 framers' maintenance device: per trunk a synchronisation status that
// a test sets (state, slips and the loss counters), read back by the status
// request, and the transmit-clock mask with every value pushed to it.

#include "board/sim/Device.h"

#include <array>
#include <cstdint>
#include <deque>

namespace Board {
namespace Sim {

class Maintenance : public Device {
public:
  static constexpr unsigned Trunks = 4;
  // The status request and its 80-byte record.
  static const uint32_t StatusRequest;
  static const uint32_t TclkRequest;
  static constexpr size_t StatusSize = 80;
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

  int ioctl(OpenFile&, uint32_t request, uint8_t* record, size_t len) override;
  int ioctlValue(OpenFile&, uint32_t request, unsigned long value) override;
  std::vector<Command> commands() const override;
  void history(Reply& reply) const override;

  TrunkStatus& trunk(unsigned n) { return trunks_.at(n); }
  const TrunkStatus& trunk(unsigned n) const { return trunks_.at(n); }
  // The mask as last pushed, and every push, oldest first.
  uint32_t tclk() const { return tclk_; }
  const std::deque<uint32_t>& tclkWrites() const { return tclkWrites_; }

  static std::string format(unsigned n, const TrunkStatus& t);
  static std::string formatTclk(uint32_t mask);

protected:
  void resetState() override;

private:
  std::array<TrunkStatus, Trunks> trunks_;
  uint32_t tclk_ = 0;
  std::deque<uint32_t> tclkWrites_;
};

}  // namespace Sim
}  // namespace Board
