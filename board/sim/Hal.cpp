#include "board/sim/Hal.h"

#include "board/Paths.h"
#include "board/Request.h"
#include "board/sim/HalClock.h"
#include "board/sim/HalSpi.h"
#include "board/sim/HalSwitch.h"

#include <cerrno>

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
};

}  // namespace

int HalPart::ioctlValue(OpenFile&, uint32_t, unsigned long) { return -ENOTTY; }

void HalPart::publish(const std::string& line) { hal_.publish(line); }

Hal::Hal() : Device("hal", Paths::Hal) {
  for (auto maker : partMakers) parts_.push_back(maker(*this));
}

void Hal::opened(OpenFile& file) {
  for (auto& p : parts_) p->opened(file);
}

void Hal::closed(OpenFile& file) {
  for (auto& p : parts_) p->closed(file);
}

HalPart* Hal::partFor(uint32_t request) const {
  for (const auto& p : parts_) {
    if (p->group() == Request::group(request)) return p.get();
  }
  return nullptr;
}

int Hal::ioctl(OpenFile& file, uint32_t request, uint8_t* record, size_t len) {
  HalPart* p = partFor(request);
  return p ? p->ioctl(file, request, record, len) : -ENOTTY;
}

int Hal::ioctlValue(OpenFile& file, uint32_t request, unsigned long value) {
  HalPart* p = partFor(request);
  return p ? p->ioctlValue(file, request, value) : -ENOTTY;
}

std::vector<Command> Hal::commands() const {
  std::vector<Command> all;
  for (const auto& p : parts_) all.push_back(p->command());
  return all;
}

void Hal::resetState() {
  for (auto& p : parts_) p->reset();
}

}  // namespace Sim
}  // namespace Board
