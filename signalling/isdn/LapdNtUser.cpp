// The network's data link towards one terminal. Simpler than Q.921's full
// procedure: every I frame it sends polls (P = 1), an idle terminal is polled
// after T203 and an unanswered poll repeated every T200, and any protocol
// error frees the TEI, so the terminal starts over with TEI assignment.

#include "signalling/isdn/LapdNt.h"

#include <iostream>

#include "foundation/os/Ext.h"

namespace ISDN {

namespace {

const char* const user_state_names[] = {"unassigned", "assigned", "wait_answer"};

}  // namespace

const char* user_state_text(LAPD_NT_user::State state) {
  const unsigned i = unsigned(state);
  return i < sizeof user_state_names / sizeof *user_state_names ? user_state_names[i] : "(unknown)";
}

void LAPD_NT_user::PutHeader(std::ostream& out) const {
  out << "LAPD_user(NT BRI)[";
  if (state == unassigned) {
    out << "unassigned]:";
    return;
  }
  out << "Tei=" << unsigned(tei) << ',' << user_state_text(state);
  if (check_pending) out << ",check";
  if (busy) out << ",busy";
  out << ']';
}

void LAPD_NT_user::trace(const char* text) const {
  if (log > 1) std::clog << ext::header(this) << text << std::endl;
}

void LAPD_NT_user::enter(State next) {
  state = next;
  // An idle terminal is polled after T203; an answer is waited for T200.
  if (next == unassigned)
    poll_timer.reset();
  else
    poll_timer.set(timer_ms(next == wait_answer ? TimerName::T200 : TimerName::T203), &LAPD_NT_user::on_poll, this);
}

void LAPD_NT_user::assign() {
  if (check_pending && state != unassigned) {
    trace("checked");
    check_pending = false;
    check_timer.reset();
    return;
  }
  trace("assigned");
  vr = acked = vs = 0;
  enter(assigned);
  tx_U(Control::SABME, true, true);
  busy = false;
  check_pending = false;
  out_queue.clear();
  ack_queue.clear();
  retry = 0;
}

void LAPD_NT_user::unassign() {
  trace("unassigned");
  enter(unassigned);
  check_timer.reset();
  // A free user must not pin pool buffers until its next assignment.
  out_queue.clear();
  ack_queue.clear();
}

void LAPD_NT_user::checking() {
  if (state == unassigned) return;
  trace("checking started");
  check_pending = true;
  check_timer.set(timer_ms(TimerName::T201), &LAPD_NT_user::unassign, this);
}

void LAPD_NT_user::receive(const Frame& frame, Packet& packet) {
  switch (frame.type) {
    case FrameType::I: on_iframe(frame, packet); break;
    case FrameType::RR:
    case FrameType::RNR:
    case FrameType::REJ: on_supervisory(frame); break;
    default: on_unnumbered(frame); break;
  }
}

void LAPD_NT_user::on_iframe(const Frame& frame, Packet& packet) {
  // A terminal's commands carry C/R = 0; an I frame is always a command.
  if (frame.cr) return;
  trace("received I frame");
  if (frame.ns == unsigned(vr)) {
    // The message for layer 3 may need a buffer of its own: taken before anything changes.
    for (int i = 0; i < 4; ++i) packet.pull();
    ++vr;
    if (frame.pf) tx_S(Control::RR, true, false);
    MessageHeader header;
    if (!read_message_header(frame.info, frame.info_size, header)) return;
    call_ref = header.call_ref;
    lapd->send_to_layer3(packet);
  } else {
    tx_S(Control::REJ, frame.pf, false);
  }
  const int confirmed = acknowledge(frame.nr);
  if (confirmed < 0) {
    unassign();
    return;
  }
  acknowledged(confirmed > 0);
  send_held();
}

void LAPD_NT_user::on_supervisory(const Frame& frame) {
  trace(frame.type == FrameType::RR    ? "received RR frame"
        : frame.type == FrameType::RNR ? "received RNR frame"
                                       : "received REJ frame");
  if (!frame.cr && frame.pf) tx_S(Control::RR, true, false);
  if (frame.type == FrameType::RNR) set_busy();
  const int confirmed = acknowledge(frame.nr);
  if (confirmed < 0) {
    unassign();
    return;
  }
  switch (frame.type) {
    case FrameType::RR: set_unbusy(confirmed > 0); break;
    case FrameType::RNR: enter(assigned); break;
    default:
      retransmit();
      set_unbusy(confirmed > 0);
      retry = 0;
      enter(wait_answer);
      break;
  }
}

void LAPD_NT_user::on_unnumbered(const Frame& frame) {
  switch (frame.type) {
    case FrameType::SABME:
      if (frame.cr) return;
      trace("received SABME frame");
      vr = acked = vs = 0;
      if (frame.pf) tx_U(Control::UA, true, false);
      ack_queue.clear();
      set_unbusy(false);
      break;
    case FrameType::DISC:
      if (frame.cr) return;
      trace("received DISC frame");
      if (frame.pf) tx_U(Control::UA, true, false);
      unassign();
      break;
    case FrameType::DM:
      if (!frame.cr) return;
      trace("received DM frame");
      unassign();
      break;
    case FrameType::FRMR:
      if (!frame.cr) return;
      trace("received FRMR frame");
      unassign();
      break;
    case FrameType::XID: trace("received XID frame"); break;
    default: break;
  }
}

int LAPD_NT_user::acknowledge(Sequence nr) {
  // Only the frames outstanding can be acknowledged: V(A) <= N(R) <= V(S) (Q.921 5.8.2).
  const Sequence oldest = vs - Sequence(ack_queue.count());
  const unsigned confirmed = unsigned(nr - oldest);
  if (confirmed > ack_queue.count()) return -1;
  if (confirmed == 0) return 0;
  Packet done;
  for (unsigned i = 0; i < confirmed; ++i) ack_queue.get(done);
  acked = nr;
  trace("ack queue");
  return int(confirmed);
}

void LAPD_NT_user::acknowledged(bool progressed) {
  // Frames still unacknowledged keep T200 running, so they go again if the
  // terminal does not confirm them; a confirmation restarts it.
  if (ack_queue.empty())
    enter(assigned);
  else if (progressed || state != wait_answer)
    enter(wait_answer);
}

void LAPD_NT_user::set_busy() {
  if (!busy) trace("set busy");
  busy = true;
}

void LAPD_NT_user::set_unbusy(bool progressed) {
  if (busy) trace("set unbusy");
  busy = false;
  if (send_held())
    retry = 0;
  else
    acknowledged(progressed);
}

bool LAPD_NT_user::send_held() {
  bool sent = false;
  Packet next;
  while (!busy && ack_queue.count() < window && out_queue.preview(&next) && send_iframe(next)) {
    out_queue.get(next);
    sent = true;
  }
  return sent;
}

bool LAPD_NT_user::send_iframe(const Packet& message) {
  if (!tx_I(message, vr, vs)) return false;
  ++vs;
  enter(wait_answer);
  return true;
}

bool LAPD_NT_user::message(Packet& packet) {
  MessageHeader header;
  if (state == unassigned || !read_message_header(packet.data(), packet.length(), header) ||
      header.call_ref != call_ref)
    return false;
  if (out_queue.count() >= held_limit) {
    Packet oldest;
    out_queue.get(oldest);
  }
  out_queue.put(packet);
  send_held();
  return true;
}

void LAPD_NT_user::retransmit() {
  trace("retransmit queue");
  const unsigned n = ack_queue.count();
  for (unsigned i = 0; i < n; ++i) {
    Packet stored;
    ack_queue.get(stored);
    ack_queue.put(stored);
    Packet frame;
    if (!lapd->new_frame(frame, 0, &stored)) continue;
    // N(S) stays; N(R) is what this side has received by now (Q.921 3.5.2).
    frame[3] = uint8_t(unsigned(vr) << 1 | 1);
    lapd->send_to_layer1(frame);
  }
}

void LAPD_NT_user::on_poll() {
  lapd->guarded("frame", [this] { on_timer(); });
}

void LAPD_NT_user::on_timer() {
  switch (state) {
    case assigned:
      enter(wait_answer);
      tx_S(Control::RR, true, true);
      retry = 0;
      break;
    case wait_answer:
      if (retry >= N200) {
        trace("T200 expiried N200 times");
        unassign();
        return;
      }
      ++retry;
      if (vs == acked)
        tx_S(Control::RR, true, true);
      else
        retransmit();
      enter(wait_answer);
      break;
    default: break;
  }
}

bool LAPD_NT_user::tx_I(const Packet& message, Sequence nr, Sequence ns) {
  // Every I frame polls, so the terminal answers each at once.
  Packet frame;
  if (!lapd->new_frame(frame, 4, &message)) return false;
  frame.push(uint8_t(unsigned(nr) << 1 | 1));
  frame.push(uint8_t(unsigned(ns) << 1));
  frame.push(address2(tei));
  frame.push(address1(0, true));
  trace("transmit I frame");
  ack_queue.put(frame);
  lapd->send_to_layer1(frame);
  return true;
}

void LAPD_NT_user::tx_S(uint8_t code, bool pf, bool command) {
  Packet frame;
  if (!lapd->new_frame(frame)) return;
  const uint8_t octets[] = {address1(0, command), address2(tei), code, uint8_t(unsigned(vr) << 1 | (pf ? 1 : 0))};
  frame.put(octets, sizeof octets);
  trace("transmit S frame");
  lapd->send_to_layer1(frame);
}

void LAPD_NT_user::tx_U(uint8_t code, bool pf, bool command) {
  Packet frame;
  if (!lapd->new_frame(frame)) return;
  const uint8_t octets[] = {address1(0, command), address2(tei), uint8_t(code | (pf ? Control::PF : 0))};
  frame.put(octets, sizeof octets);
  trace("transmit U frame");
  lapd->send_to_layer1(frame);
}

}  // namespace ISDN
