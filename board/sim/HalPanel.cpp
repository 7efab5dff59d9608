#include "board/sim/HalPanel.h"

#include "board/dev/Hal.h"
#include "board/sim/Hex.h"

#include <cerrno>

namespace Board {
namespace Sim {

namespace Panel = Dev::Hal::Panel;

const Answer<HalPanel> HalPanel::requestTable[] = {
    {Panel::ReadDip, "dip", &HalPanel::readDip},
    {Panel::ReadPower, "power", &HalPanel::readPower},
    {Panel::WriteLeds, "leds", &HalPanel::writeLeds},
};

const Control<HalPanel> HalPanel::commandTable[] = {
    {"panel dip", "[BYTE]", &HalPanel::dipCommand}, {"panel power", "[BYTE]", &HalPanel::powerCommand},
    {"panel leds", "", &HalPanel::ledsCommand},     {"panel requests", "", &HalPanel::requestsCommand},
    {"panel clear", "", &HalPanel::clearCommand},
};

HalPanel::HalPanel(Hal& hal) : HalPart(hal) {
  hal.answer(this, requestTable);
  hal.control(this, commandTable);
}

int HalPanel::answerByte(Call& call, const char* name, uint8_t value) {
  if (!call.out.put(Panel::Record::Byte, value)) return -EINVAL;
  requests_.add(std::string(name) + " " + Hex::number(value, 2));
  return 0;
}

int HalPanel::readDip(Call& call) { return answerByte(call, "dip", dip_); }

int HalPanel::readPower(Call& call) { return answerByte(call, "power", power_); }

int HalPanel::writeLeds(Call& call) {
  const uint8_t leds = call.in.get(Panel::Record::Byte);
  if (!call.in.ok()) return -EINVAL;
  leds_ = leds;
  requests_.add("leds " + Hex::number(leds, 2));
  hal_.publish("panel " + requests_.back());
  return 0;
}

void HalPanel::byteCommand(uint8_t& byte, Args& args, Reply& reply) {
  if (!args.more()) return reply.line(Hex::number(byte, 2));
  const uint8_t value = uint8_t(args.number("byte", 0, 255));
  if (args) byte = value;
}

void HalPanel::dipCommand(Args& args, Reply& reply) { byteCommand(dip_, args, reply); }

void HalPanel::powerCommand(Args& args, Reply& reply) { byteCommand(power_, args, reply); }

void HalPanel::ledsCommand(Args&, Reply& reply) { reply.line(leds_ == NoLeds ? "none" : Hex::number(leds_, 2)); }

void HalPanel::requestsCommand(Args&, Reply& reply) {
  for (const std::string& r : requests_) reply.line(r);
}

void HalPanel::clearCommand(Args&, Reply&) { requests_.clear(); }

void HalPanel::reset() {
  dip_ = 0;
  power_ = 0;
  leds_ = NoLeds;
  requests_.clear();
}

}  // namespace Sim
}  // namespace Board
