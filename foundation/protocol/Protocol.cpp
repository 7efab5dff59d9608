#include "foundation/protocol/Protocol.h"

#include <ostream>

void Internal_protocol_status::out(std::ostream& os) const { os << text_; }

Protocol::~Protocol() {
  if (owner_) owner_->remove(this);
}

Protocol_status Protocol::local_initialize() { return new Protocol_status_success(this, "success"); }

void Protocol::local_deactivate() { on_deactivate(new Protocol_status_success(this, "success")); }

void Protocol::transmit(Packet& p) {
  if (lower_)
    lower_->message(p);
  else if (owner_)
    owner_->transmit(p);
}

void Protocol::on_message(Packet& p) {
  if (upper_)
    upper_->receive(p);
  else if (owner_)
    owner_->on_message(p);
}

void Protocol::on_activate() {
  if (upper_)
    upper_->local_activate();
  else if (owner_)
    owner_->on_activated(this);
}

void Protocol::on_deactivate(Protocol_status status) {
  if (status->success()) {
    if (lower_) {
      lower_->deactivate();
      return;
    }
  } else if (upper_) {
    upper_->on_deactivate(status);
    return;
  }
  if (owner_) owner_->on_deactivated(this, status);
}

void Protocol::on_status(Protocol_status status) {
  if (upper_)
    upper_->on_status(status);
  else if (owner_)
    owner_->on_status(status);
}

void Protocol::activate() {
  if (lower_)
    lower_->activate();
  else
    local_activate();
}

void Protocol::prepare_head(Packet& p) {
  if (lower_) lower_->prepare_head(p);
  local_prepare_head(p);
}

void Protocol::prepare_tail(Packet& p) {
  if (lower_) lower_->prepare_tail(p);
  local_prepare_tail(p);
}

Protocol_status Protocol::initialize() {
  if (lower_) {
    Protocol_status below = lower_->initialize();
    if (!below->success()) return below;
  }
  return local_initialize();
}

ProtocolsList::~ProtocolsList() {
  while (Protocol* p = top_) {
    remove(p);
    delete p;
  }
}

void ProtocolsList::add_protocol_head(Protocol* p) {
  p->owner_ = this;
  p->lower_ = nullptr;
  p->upper_ = bottom_;
  if (bottom_)
    bottom_->lower_ = p;
  else
    top_ = p;
  bottom_ = p;
  ++count_;
}

void ProtocolsList::add_protocol_tail(Protocol* p) {
  p->owner_ = this;
  p->upper_ = nullptr;
  p->lower_ = top_;
  if (top_)
    top_->upper_ = p;
  else
    bottom_ = p;
  top_ = p;
  ++count_;
}

Protocol* ProtocolsList::search(const Protocol_name& name) const {
  for (Protocol* p = bottom_; p; p = p->upper_)
    if (p->compare_name(name)) return p;
  return nullptr;
}

void ProtocolsList::remove(Protocol* p) {
  if (p->lower_)
    p->lower_->upper_ = p->upper_;
  else
    bottom_ = p->upper_;
  if (p->upper_)
    p->upper_->lower_ = p->lower_;
  else
    top_ = p->lower_;
  p->upper_ = p->lower_ = nullptr;
  p->owner_ = nullptr;
  --count_;
}

void ProtocolsFamily::local_prepare_head(Packet& p) {
  if (top()) top()->prepare_head(p);
}

void ProtocolsFamily::local_prepare_tail(Packet& p) {
  if (top()) top()->prepare_tail(p);
}

Protocol_status ProtocolsFamily::local_initialize() {
  if (!top()) return new Protocol_initialize_error(this, "error");
  return top()->initialize();
}

void ProtocolsFamily::local_activate() {
  if (top()) top()->activate();
}

void ProtocolsFamily::local_deactivate() {
  if (top()) top()->deactivate();
}

void ProtocolsFamily::message(Packet& p) {
  if (top()) top()->message(p);
}

void ProtocolsFamily::receive(Packet& p) {
  if (bottom()) bottom()->receive(p);
}

void ProtocolsFamily::on_activated(Protocol* p) {
  if (p == top()) on_activate();
}

void ProtocolsFamily::on_deactivated(Protocol*, Protocol_status status) { on_deactivate(status); }
