#include "board/sim/HalClock.h"

#include "board/dev/Hal.h"

#include <cerrno>

namespace Board {
namespace Sim {

namespace Clock = Dev::Hal::Clock;

namespace {

std::string text(int32_t source) { return source == HalClock::NoSource ? "none" : std::to_string(source); }

}  // namespace

const Answer<HalClock> HalClock::requestTable[] = {
    {Clock::Select, "clock", &HalClock::select},
};

const Control<HalClock> HalClock::commandTable[] = {
    {"clock source", "", &HalClock::sourceCommand},
    {"clock history", "", &HalClock::historyCommand},
    {"clock clear", "", &HalClock::clearCommand},
};

HalClock::HalClock(Hal& hal) : HalPart(hal) {
  hal.answer(this, requestTable);
  hal.control(this, commandTable);
}

int HalClock::select(Call& call) {
  const int32_t source = call.in.get(Clock::Record::Source);
  if (!call.in.ok() || source < 0) return -EINVAL;
  source_ = source;
  history_.add(source);
  hal_.publish("clock " + text(source));
  return 0;
}

void HalClock::sourceCommand(Args&, Reply& reply) { reply.line(text(source_)); }

void HalClock::historyCommand(Args&, Reply& reply) {
  for (int32_t s : history_) reply.line(text(s));
}

void HalClock::clearCommand(Args&, Reply&) { reset(); }

void HalClock::reset() {
  source_ = NoSource;
  history_.clear();
}

}  // namespace Sim
}  // namespace Board
