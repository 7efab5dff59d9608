#include "foundation/protocol/Tpkt_protocol.h"

#include <algorithm>
#include <iostream>

#include "foundation/eventloop/Profile.h"

bool Tpkt_protocol::payload_fits(long length) {
  if (length >= 0 && length <= long(max_payload)) return true;
  std::cerr << "TPKT message too big, length = " << length << " max = " << max_payload << std::endl;
  return false;
}

void Tpkt_protocol::message(Packet& p) {
  static Profile::Point point("Tpkt_protocol::message");
  point.begin();
  if (payload_fits(p.length())) {
    p.push16_b(uint16_t(p.length() + header_size));
    p.push(0);
    p.push(3);
    transmit(p);
  }
  point.end();
}

void Tpkt_protocol::local_deactivate() {
  reset();
  on_deactivate(new Protocol_status_success(this, "TPKT deactivated"));
}

void Tpkt_protocol::reset() {
  timer_.reset();
  body_.release();
  state_ = Idle;
}

void Tpkt_protocol::on_timeout(Timer*) {
  std::clog << " TPKT packet timeout." << std::endl;
  reset();
}

void Tpkt_protocol::receive(Packet& chunk) {
  const uint8_t* p = chunk.data();
  const uint8_t* const end = p + chunk.length();
  while (p != end) {
    switch (state_) {
      case Idle: receive_idle(*p++); break;
      case WaitReserved: receive_wait_r(*p++); break;
      case Length1: receive_len_1(*p++); break;
      case Length2: receive_len_2(*p++); break;
      case Body:
      case Ignore: {
        unsigned n = std::min(unsigned(end - p), length_);
        if (state_ == Body) body_.put(p, n);
        p += n;
        length_ -= n;
        if (length_ == 0) {
          if (state_ == Body)
            deliver();
          else
            next_state(Idle);
        }
        break;
      }
    }
  }
  // The timer measures the silence after a chunk that left a message open.
  if (state_ == Idle)
    timer_.reset();
  else
    timer_.set(chunk_timeout_ms, &Tpkt_protocol::on_timeout, this);
}

void Tpkt_protocol::receive_idle(uint8_t b) {
  if (b == 3)
    next_state(WaitReserved);
  else
    std::clog << name().name() << " bad TPKT packet start." << std::endl;
}

void Tpkt_protocol::receive_wait_r(uint8_t b) {
  if (b == 0) {
    next_state(Length1);
    return;
  }
  std::clog << name().name() << " bad TPKT reserved." << std::endl;
  next_state(Idle);
}

void Tpkt_protocol::receive_len_1(uint8_t b) {
  length_ = b;
  next_state(Length2);
}

void Tpkt_protocol::receive_len_2(uint8_t b) {
  length_ = length_ * 256 + b;
  if (length_ < header_size) {
    std::clog << "TPKT too small " << length_ << std::endl;
    next_state(Idle);
    return;
  }
  length_ -= header_size;
  body_.release();
  body_.reserve_head(0);
  if (length_ > body_.tailroom()) {
    std::clog << "TPKT length too big, received = " << length_ << " max = " << body_.tailroom() << std::endl;
    body_.release();
    next_state(Ignore);
    return;
  }
  next_state(Body);
  // An empty message is complete with its header.
  if (length_ == 0) deliver();
}

void Tpkt_protocol::deliver() {
  Packet message = body_;
  body_.release();
  next_state(Idle);
  on_message(message);
}
