#pragma once
// The board-control device "/dev/hal". It carries several unrelated
// functions, each with its own requests: the TDM switch, the clock source,
// SPI access to the BRI line interfaces, and more. Each function is a part
// of its own, made by one line in Hal.cpp, which adds its requests and its
// commands ("hal <part> <command> ...") to the device.

#include "board/sim/Device.h"

#include <memory>
#include <vector>

namespace Board {
namespace Sim {

class Hal;

// One function of the board-control device.
class HalPart {
public:
  explicit HalPart(Hal& hal) : hal_(hal) {}
  virtual ~HalPart() = default;
  HalPart(const HalPart&) = delete;
  HalPart& operator=(const HalPart&) = delete;

  // Back to power-on.
  virtual void reset() = 0;

protected:
  Hal& hal_;
};

class Hal : public Device {
public:
  Hal();

  // The part of type P, null when the board has none.
  template <class P>
  P* part() const {
    for (const auto& p : parts_) {
      if (auto* found = dynamic_cast<P*>(p.get())) return found;
    }
    return nullptr;
  }

protected:
  void resetState() override;

private:
  std::vector<std::unique_ptr<HalPart>> parts_;
};

}  // namespace Sim
}  // namespace Board
