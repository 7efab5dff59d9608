#include "foundation/eventloop/EventHandler.h"

#include "foundation/eventloop/Multiplexer.h"

std::string EventHandler::event_name() const { return "unknown"; }

bool EventHandler::is_named() const { return false; }

void EventHandler::mux_attach() {
  if (attached_) return;
  multiplexer.attach(this);
  attached_ = true;
}

void EventHandler::mux_detach() {
  if (!attached_) return;
  multiplexer.detach(this);
  attached_ = false;
}

void EventHandler::svc_event() { svc_event(revents_); }

namespace {
struct PollBit {
  short bit;
  const char* name;
};

const PollBit kPollBits[] = {
    {POLLIN, "POLLIN"},         {POLLPRI, "POLLPRI"},       {POLLOUT, "POLLOUT"},       {POLLERR, "POLLERR"},
    {POLLHUP, "POLLHUP"},       {POLLNVAL, "POLLNVAL"},     {POLLRDNORM, "POLLRDNORM"}, {POLLRDBAND, "POLLRDBAND"},
    {POLLWRNORM, "POLLWRNORM"}, {POLLWRBAND, "POLLWRBAND"}, {POLLMSG, "POLLMSG"},
};
}  // namespace

std::string PollEventAsText(short events) {
  std::string text;
  for (const PollBit& b : kPollBits) {
    if (events & b.bit) {
      text += '|';
      text += b.name;
    }
  }
  return text.empty() ? text : text.substr(1);
}
