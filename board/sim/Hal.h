#pragma once
// The board-control device "/dev/hal". It carries several unrelated
// functions, each reached by its own request group: the TDM switch ('M'),
// the clock source ('C'), SPI access to the BRI line interfaces ('B'), and
// more. The device only dispatches; each function is a part of its own,
// registered by one line in Hal.cpp.

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

  // The request group letter this part answers.
  virtual uint32_t group() const = 0;
  // As Device::ioctl and Device::ioctlValue, for requests of this group.
  virtual int ioctl(OpenFile&, uint32_t request, uint8_t* record, size_t len) = 0;
  virtual int ioctlValue(OpenFile&, uint32_t request, unsigned long value);
  virtual void opened(OpenFile&) {}
  virtual void closed(OpenFile&) {}
  // The part's control command, reached as "hal <name> <sub-command> ...".
  virtual Command command() const = 0;
  // Back to power-on.
  virtual void reset() = 0;

protected:
  // A line for the device's followers.
  void publish(const std::string& line);

private:
  Hal& hal_;
};

class Hal : public Device {
public:
  Hal();

  void opened(OpenFile&) override;
  void closed(OpenFile&) override;
  int ioctl(OpenFile&, uint32_t request, uint8_t* record, size_t len) override;
  int ioctlValue(OpenFile&, uint32_t request, unsigned long value) override;
  std::vector<Command> commands() const override;

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
  HalPart* partFor(uint32_t request) const;

  std::vector<std::unique_ptr<HalPart>> parts_;
};

}  // namespace Sim
}  // namespace Board
