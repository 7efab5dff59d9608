// The entity's entry points (requests from above, frames from below, timer
// expiries), the frames it builds and sends, its timers and its reports.
// Every entry point catches an empty packet pool: one line, counted, the
// message or frame dropped, the link left to recover by its timers.

#include "signalling/isdn/Lapd.h"

#include <iostream>
#include <new>

#include "foundation/os/Ext.h"
#include "signalling/isdn/Trace.h"

namespace ISDN {

namespace {

// Q.921 Table II.1, error codes A to O as bits, and the TEI denial.
struct ErrorText {
  unsigned code;
  const char* text;
};

const ErrorText error_texts[] = {
    {1, "Supervisory (F = 1)"},
    {2, "DM (F = 1)"},
    {4, "UA (F = 1)"},
    {8, "UA (F = 0)"},
    {16, "Receipt of DM response (F = 0)"},
    {32, "Peer initiated re-establishment - SABME"},
    {64, "Unsuccessful retransmission (N200 times) - SABME"},
    {128, "Unsuccessful retransmission (N200 times) - DISC"},
    {256, "Unsuccessful retransmission (N200 times) - Status enquiry"},
    {512, "Other - N(R) error"},
    {1024, "Other - Receipt of FRMR response"},
    {2048, "Other - Receipt of undefined frame"},
    {4096, "Other - Receipt of I field not permitted"},
    {8192, "Other - Receipt of frame with wrong size"},
    {16384, "Other - N201 error"},
    {32768, "Tei Assign - Tei denied"},
};

// The other two timers a start or stop looks at, in the order it reports them.
struct TimerRule {
  TimerName name;
  TimerName start_others[2];
  TimerName stop_others[2];
};

const TimerRule timer_rules[] = {
    {TimerName::T200, {TimerName::T202, TimerName::T203}, {TimerName::T203, TimerName::T202}},
    {TimerName::T202, {TimerName::T200, TimerName::T203}, {TimerName::T200, TimerName::T203}},
    {TimerName::T203, {TimerName::T200, TimerName::T202}, {TimerName::T200, TimerName::T202}},
};

const TimerRule& rule(TimerName name) {
  for (const TimerRule& r : timer_rules)
    if (r.name == name) return r;
  return timer_rules[0];
}

Event expiry_event(TimerName name) {
  return name == TimerName::T202 ? Event::T202 : name == TimerName::T203 ? Event::T203 : Event::T200;
}

}  // namespace

LAPD::Status::Status(LAPD* lapd, const std::string& text)
    : Protocol_status_error(lapd, text), LAPDFullState(lapd->full_state()) {}

void LAPD::Status::out(std::ostream& os) const {
  os << message();
  LAPDFullState::out(os);
}

LAPD::LAPD(Side::type side_, unsigned log_) : side(side_), log(log_) { discard_queue(); }

LAPD::~LAPD() = default;

void LAPD::local_prepare_head(Packet& p) { p.reserve_head(4); }

void LAPD::local_prepare_tail(Packet& p) { p.reserve_tail(0); }

void LAPD::PutHeader(std::ostream& out) const { out << "LAPD[" << trunk << "] (" << state_text() << "): "; }

void LAPD::guarded(const char* what, const std::function<void()>& action) {
  try {
    action();
  } catch (const std::bad_alloc&) {
    pool_empty(what);
  }
}

void LAPD::pool_empty(const char* what) {
  ++stats.out_overflows;
  std::cerr << ext::header(this) << "packet pool empty: " << what << " dropped" << std::endl;
}

bool LAPD::new_frame(Packet& frame, const Packet* message) {
  try {
    if (message)
      frame = copy_with_headroom(*message, 4);
    else
      prepare_head(frame);
    return true;
  } catch (const std::bad_alloc&) {
    pool_empty("frame");
    return false;
  }
}

void LAPD::local_activate() {
  guarded("DL-ESTABLISH", [this] { dl_establish(); });
}

void LAPD::dl_establish() {
  if (log != 0) std::clog << ext::header(this) << Event::DlEstablish << std::endl;
  dispatch(Event::DlEstablish, Frame());
}

void LAPD::local_deactivate() {
  guarded("DL-RELEASE", [this] {
    if (log > 1) std::clog << ext::header(this) << Event::DlRelease << std::endl;
    dispatch(Event::DlRelease, Frame());
  });
}

void LAPD::mdl_assign(unsigned char tei) {
  guarded("MDL-ASSIGN", [this, tei] {
    if (log > 1) std::clog << ext::header(this) << Event::MdlAssign << " (tei=" << unsigned(tei) << ")" << std::endl;
    self_tei = tei;
    if (state == EstablishAwaitingTei) {
      establish();
      l3_initiated = true;
      change_state(AwaitingEstablishment);
    } else {
      change_state(TeiAssigned);
    }
  });
}

void LAPD::on_mdl_assign() {}

void LAPD::mdl_remove() {
  guarded("MDL-REMOVE", [this] {
    std::clog << ext::header(this) << Event::MdlRemove << std::endl;
    dispatch(Event::MdlRemove, Frame());
  });
}

void LAPD::on_hdlc_receive(Packet& frame) { receive(frame); }

void LAPD::on_hdlc_error(HDLC::Notify::Cause::Type) {}

void LAPD::on_hdlc_ready() {
  guarded("frame", [this] { local_events(); });
}

void LAPD::change_to_bri() { bri = true; }

void LAPD::receive(Packet& p) {
  guarded("received frame", [this, &p] {
    if (p.length() < 2) return;
    if (log > 2) trace_frame_text("rx:", p, side == Side::user);
    Frame frame;
    if (decode_frame(p.data(), p.length(), frame) != Decoded::ok) return;
    // Q.921 5.3.1: a terminal on a bus hears the frames of every terminal.
    if (bri && side == Side::user && frame.tei != self_tei && frame.tei != group_tei) return;
    peer_sapi = frame.sapi;
    peer_tei = frame.tei;
    switch (frame.type) {
      case FrameType::I: on_iframe(frame, p); break;
      case FrameType::UI: on_UI(frame, p); break;
      case FrameType::RR: dispatch(Event::RR, frame); break;
      case FrameType::RNR: dispatch(Event::RNR, frame); break;
      case FrameType::REJ: dispatch(Event::REJ, frame); break;
      case FrameType::SABME:
        // Every SABME restarts the sequence numbers and forgets the unacknowledged frames.
        vs = va = vr = 0;
        ack_queue.clear();
        dispatch(Event::SABME, frame);
        break;
      case FrameType::DISC: dispatch(Event::DISC, frame); break;
      case FrameType::UA: dispatch(Event::UA, frame); break;
      case FrameType::DM: dispatch(Event::DM, frame); break;
      case FrameType::FRMR: dispatch(Event::FRMR, frame); break;
      case FrameType::XID:
      case FrameType::Unknown: return;
    }
    local_events();
  });
}

void LAPD::trace_frame(Event event, const Frame& frame) const {
  if (log <= 3) return;
  std::clog << ext::header(this) << event << ' ' << (is_command(frame.cr) ? "command" : "response");
  if (event == Event::RR || event == Event::REJ || event == Event::RNR || event == Event::FRMR)
    std::clog << " pf=" << int(frame.pf);
  std::clog << std::endl;
}

void LAPD::on_error(unsigned code) {
  const char* text = "Other - Unknown";
  for (const ErrorText& e : error_texts)
    if (e.code == code) text = e.text;
  on_status(new Status(this, text));
}

void LAPD::report_established() {
  // Q.921 5.5.1: messages that waited for the link go once it is up; without
  // this a queue filled before establishment would never move again.
  if (!out_queue.empty()) queued_up = true;
  on_activate();
}

void LAPD::report_release(Protocol_status status) { on_deactivate(status); }

void LAPD::change_state(State next, bool traced) {
  if (next == state) return;
  const bool recovery_swap = (state == MultipleFrameEstablished && next == TimerRecovery) ||
                             (state == TimerRecovery && next == MultipleFrameEstablished);
  // Levels 2 and 3 leave out the frequent swaps between established and timer recovery.
  if (traced && log >= 2 && !(log <= 3 && recovery_swap))
    std::clog << "LAPD[" << trunk << "] : change state " << ext::quoted(statetext(uint8_t(state))) << " -> "
              << ext::quoted(statetext(uint8_t(next))) << std::endl;
  state = next;
}

bool LAPD::tx_cmd_resp(uint8_t code, bool pf, bool command) {
  Packet frame;
  if (!new_frame(frame)) return false;
  frame.put(address1(unsigned(self_sapi), cr_bit(command)));
  frame.put(address2(unsigned(self_tei)));
  if ((code & 3) == 1) {
    frame.put(code);
    frame.put(uint8_t(unsigned(vr) << 1 | (pf ? 1 : 0)));
  } else {
    frame.put(uint8_t(code | (pf ? Control::PF : 0)));
  }
  return xmit(frame);
}

bool LAPD::tx_iframe(const Packet& message, bool p) {
  Packet frame;
  if (!new_frame(frame, &message)) return false;
  frame.push(uint8_t(unsigned(vr) << 1 | (p ? 1 : 0)));
  frame.push(uint8_t(unsigned(vs) << 1));
  frame.push(address2(unsigned(self_tei)));
  frame.push(address1(unsigned(self_sapi), cr_bit(true)));
  return xmit(frame);
}

bool LAPD::tx_identity(uint16_t request, uint8_t ai, TeiMessageType type) {
  if (!bri) return false;
  Packet frame;
  if (!new_frame(frame)) return false;
  put_tei_frame(frame, side == Side::network, request, type, ai);
  return xmit(frame);
}

bool LAPD::xmit(Packet& frame) {
  if (!hdlc) {
    if (log > 3) std::clog << ext::header(this) << "no HDLC device attached!!!" << std::endl;
    return false;
  }
  if (!hdlc->hdlc_transmit(frame)) {
    std::clog << ext::header(this) << "tx full" << std::endl;
    return false;
  }
  if (log > 2) trace_frame_text("tx: ", frame, side == Side::network);
  return true;
}

void LAPD::trace_frame_text(const char* direction, const Packet& frame, bool to_user) const {
  const size_t n = dlogframe(frame.data(), int(frame.length()), to_user, logbuf, logbuf_size);
  std::clog << ext::header(this) << direction << logbuf;
  if (n == 0 || logbuf[n - 1] != '\n')
    std::clog << std::endl;
  else
    std::clog.flush();
}

bool& LAPD::running(TimerName name) {
  return name == TimerName::T202 ? t202_running : name == TimerName::T203 ? t203_running : t200_running;
}

Timer& LAPD::timer(TimerName name) { return name == TimerName::T202 ? t202 : name == TimerName::T203 ? t203 : t200; }

void LAPD::start(TimerName name) {
  for (TimerName other : rule(name).start_others)
    if (running(other))
      on_status(new Status(this, std::string("trying to start ") + timer_default(name).text + " while " +
                                     timer_default(other).text + " running"));
  if (running(name)) stop(name);
  t200.reset();
  t202.reset();
  t203.reset();
  running(name) = true;
  const unsigned ms = timer_ms(name);
  switch (name) {
    case TimerName::T202: t202.set(ms, &LAPD::on_t202, this); break;
    case TimerName::T203: t203.set(ms, &LAPD::on_t203, this); break;
    default: t200.set(ms, &LAPD::on_t200, this); break;
  }
}

void LAPD::stop(TimerName name) {
  if (!running(name)) return;
  for (TimerName other : rule(name).stop_others)
    if (running(other))
      on_status(new Status(this, std::string("trying to stop ") + timer_default(name).text + " while " +
                                     timer_default(other).text + " running"));
  running(name) = false;
  timer(name).reset();
}

void LAPD::on_t200() {
  guarded("frame", [this] { on_timer(TimerName::T200, stats.t200_expired); });
}

void LAPD::on_t202() {
  guarded("frame", [this] { on_timer(TimerName::T202, stats.t202_expired); });
}

void LAPD::on_t203() {
  guarded("frame", [this] {
    std::clog << ext::header(this) << "T203." << std::endl;
    on_timer(TimerName::T203, stats.t203_expired);
  });
}

void LAPD::on_timer(TimerName name, uint32_t& expired) {
  running(name) = false;
  ++expired;
  dispatch(expiry_event(name), Frame());
  local_events();
}

}  // namespace ISDN
