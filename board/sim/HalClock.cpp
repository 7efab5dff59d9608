#include "board/sim/HalClock.h"

#include "board/Record.h"
#include "board/Request.h"

#include <cerrno>

namespace Board {
namespace Sim {

const uint32_t HalClock::SelectRequest = Request::iow('C', 1, 4);

namespace {

std::string text(int32_t source) { return source == HalClock::NoSource ? "none" : std::to_string(source); }

void run(Device& d, const Args& a, Reply& reply) {
  auto* clock = static_cast<Hal&>(d).part<HalClock>();
  const std::string sub = a.size() == 1 ? a[0] : "";
  if (sub == "source") {
    reply.line(text(clock->source()));
  } else if (sub == "history") {
    for (int32_t s : clock->history()) reply.line(text(s));
  } else if (sub == "clear") {
    clock->reset();
  } else {
    reply.fail("usage: hal clock source | history | clear");
  }
}

}  // namespace

int HalClock::ioctl(OpenFile&, uint32_t request, uint8_t* record, size_t len) {
  if (request != SelectRequest) return -ENOTTY;
  RecordReader in(record, len);
  const int32_t source = in.s32(0);
  if (!in.ok() || source < 0) return -EINVAL;
  source_ = source;
  if (history_.size() == HistoryLimit) history_.pop_front();
  history_.push_back(source);
  publish("clock " + text(source));
  return 0;
}

Command HalClock::command() const { return Command{"clock", "source | history | clear", run}; }

void HalClock::reset() {
  source_ = NoSource;
  history_.clear();
}

}  // namespace Sim
}  // namespace Board
