#include "board/sim/Hal.h"

#include "board/dev/Hal.h"
#include "board/sim/HalClock.h"
#include "board/sim/HalPanel.h"
#include "board/sim/HalSpi.h"
#include "board/sim/HalSwitch.h"

namespace Board {
namespace Sim {

namespace {

template <class P>
std::unique_ptr<HalPart> make(Hal& hal) {
  return std::make_unique<P>(hal);
}

// One line per function of the device.
std::unique_ptr<HalPart> (*const partMakers[])(Hal&) = {
    make<HalSwitch>,
    make<HalClock>,
    make<HalSpi>,
    make<HalPanel>,
};

}  // namespace

Hal::Hal() : Device("hal", Dev::Hal::Path) {
  for (auto maker : partMakers) parts_.push_back(maker(*this));
}

void Hal::resetState() {
  for (auto& p : parts_) p->reset();
}

}  // namespace Sim
}  // namespace Board
