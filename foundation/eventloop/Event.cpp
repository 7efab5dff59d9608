#include "foundation/eventloop/Event.h"

Event::~Event() {
  delete handler_;
  handler_ = nullptr;
  Release();
}

void Event::Schedule(const Fd& fd, short events) {
  mux_detach();
  if (&fd != &fd_) fd_ = fd.dup();
  mask_ = events;
  if (fd_) mux_attach();
}

void Event::Release() {
  mux_detach();
  fd_.close();
}

void Event::Bind(Handler* handler) {
  if (handler == handler_) return;
  delete handler_;
  handler_ = handler;
}

void Event::UnBind() {
  delete handler_;
  handler_ = nullptr;
}

void Event::shedule_event(pollfd& entry) {
  entry.fd = fd_.get();
  entry.events = mask_;
  entry.revents = 0;
}

void Event::svc_event(short revents) {
  if (revents & mask_) ++hits_;
  if (handler_) handler_->Invoke(fd_.get(), revents);
}

std::string Event::event_name() const { return name_; }

bool Event::is_named() const { return true; }
