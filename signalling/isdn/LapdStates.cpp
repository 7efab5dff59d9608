// The state machine: one handler per state of Q.921 Annex B, each a
// switch over the events that state reacts to, and the procedures the
// diagrams share. An event a state does not list changes nothing.

#include "signalling/isdn/Lapd.h"

#include <iostream>

#include "foundation/os/Ext.h"

namespace ISDN {

namespace {

const char* const released_locally = "success (deactivated locally)";
const char* const removed = "error (MDL-REMOVE received)";
const char* const disconnected = "remote error (DISC received)";
const char* const released = "success (UA received)";
const char* const refused = "error (DM received)";
const char* const n200_exhausted = "link error (T200 expired N200 times)";

enum MdlError : unsigned {
  SupervisoryF1 = 1,
  DmF1 = 2,
  UaF0 = 8,
  DmF0 = 16,
  PeerReestablish = 32,
  RetriedSabme = 64,
  RetriedDisc = 128,
  RetriedEnquiry = 256,
  NrError = 512,
  FrmrReceived = 1024,
  // Q.921 Table II.1 has no letter for it: it goes up as "Other - Unknown".
  UnsolicitedUa = 12,
};

}  // namespace

void LAPD::dispatch(Event event, const Frame& frame) {
  if (event >= Event::SABME && event <= Event::REJ) trace_frame(event, frame);
  switch (state) {
    case TeiUnassigned: in_tei_unassigned(event); break;
    case AssignAwaitingTei: in_assign_awaiting_tei(event); break;
    case EstablishAwaitingTei: in_establish_awaiting_tei(event); break;
    case TeiAssigned: in_tei_assigned(event, frame); break;
    case AwaitingEstablishment: in_awaiting_establishment(event, frame); break;
    case AwaitingRelease: in_awaiting_release(event, frame); break;
    case MultipleFrameEstablished: in_multiple_frame_established(event, frame); break;
    case TimerRecovery: in_timer_recovery(event, frame); break;
  }
}

void LAPD::in_tei_unassigned(Event event) {
  if (event != Event::DlEstablish) return;
  rc = 0;
  on_mdl_assign();
  change_state(EstablishAwaitingTei);
  begin_tei_assignment();
}

void LAPD::in_assign_awaiting_tei(Event event) {
  if (event == Event::DlEstablish) change_state(EstablishAwaitingTei);
  if (event == Event::T202) retry_tei_request();
}

void LAPD::in_establish_awaiting_tei(Event event) {
  if (event == Event::T202) retry_tei_request();
}

void LAPD::in_tei_assigned(Event event, const Frame& frame) {
  switch (event) {
    case Event::DlEstablish:
      establish();
      l3_initiated = true;
      change_state(AwaitingEstablishment);
      break;
    case Event::DlRelease: report_release(new Protocol_status_success(this, released_locally)); break;
    case Event::MdlRemove:
      discard_queue();
      change_state(TeiUnassigned);
      break;
    case Event::SABME:
      tx_cmd_resp(Control::UA, frame.pf, false);
      clear_exception_conditions();
      start(TimerName::T203);
      change_state(MultipleFrameEstablished);
      report_established();
      break;
    case Event::DISC: tx_cmd_resp(Control::DM, frame.pf, false); break;
    case Event::UA: on_error(UnsolicitedUa); break;
    case Event::DM:
      // Q.921 5.5.1: a DM F=0 asks for the link to be set up.
      if (!is_command(frame.cr) && !frame.pf) {
        establish();
        l3_initiated = true;
        change_state(AwaitingEstablishment);
      }
      break;
    default: break;
  }
}

void LAPD::in_awaiting_establishment(Event event, const Frame& frame) {
  switch (event) {
    case Event::DlEstablish:
      discard_queue();
      l3_initiated = true;
      break;
    case Event::DlRelease:
      discard_queue();
      rc = 0;
      tx_cmd_resp(Control::DISC, true, true);
      stop(TimerName::T203);
      stop(TimerName::T202);
      start(TimerName::T200);
      change_state(TeiAssigned);
      report_release(new Protocol_status_success(this, released_locally));
      break;
    case Event::MdlRemove:
      discard_queue();
      stop(TimerName::T200);
      change_state(TeiUnassigned);
      report_release(new Status(this, removed));
      break;
    case Event::SABME: tx_cmd_resp(Control::UA, frame.pf, false); break;
    case Event::DISC: tx_cmd_resp(Control::DM, frame.pf, false); break;
    case Event::UA:
      if (!frame.pf) {
        on_error(UaF0);
        break;
      }
      // Q.921 5.5.1: the link starts from zero once the peer confirms.
      vs = va = vr = 0;
      ack_queue.clear();
      change_state(MultipleFrameEstablished);
      stop(TimerName::T200);
      start(TimerName::T203);
      report_established();
      break;
    case Event::DM:
      if (!is_command(frame.cr) && frame.pf) {
        discard_queue();
        stop(TimerName::T200);
        change_state(TeiAssigned);
        report_release(new Status(this, refused));
      }
      break;
    case Event::T200:
      if (rc >= N200) {
        discard_queue();
        on_error(RetriedSabme);
        change_state(TeiAssigned);
        report_release(new Status(this, n200_exhausted));
      } else {
        ++rc;
        tx_cmd_resp(Control::SABME, true, true);
        start(TimerName::T200);
      }
      break;
    default: break;
  }
}

void LAPD::in_awaiting_release(Event event, const Frame& frame) {
  switch (event) {
    case Event::MdlRemove:
      stop(TimerName::T200);
      change_state(TeiUnassigned);
      report_release(new Status(this, removed));
      break;
    case Event::SABME: tx_cmd_resp(Control::DM, frame.pf, false); break;
    case Event::DISC: tx_cmd_resp(Control::UA, frame.pf, false); break;
    case Event::UA:
      if (!frame.pf) {
        on_error(UaF0);
        break;
      }
      stop(TimerName::T200);
      change_state(TeiAssigned);
      report_release(new Protocol_status_success(this, released));
      break;
    case Event::DM:
      if (!is_command(frame.cr) && frame.pf) {
        stop(TimerName::T200);
        change_state(TeiAssigned);
        report_release(new Status(this, refused));
      }
      break;
    case Event::T200:
      if (rc >= N200) {
        on_error(RetriedDisc);
        change_state(TeiAssigned);
        report_release(new Status(this, n200_exhausted));
      } else {
        ++rc;
        tx_cmd_resp(Control::DISC, true, true);
        start(TimerName::T200);
      }
      break;
    default: break;
  }
}

void LAPD::in_multiple_frame_established(Event event, const Frame& frame) {
  switch (event) {
    case Event::DlEstablish:
      discard_queue();
      establish();
      l3_initiated = true;
      change_state(AwaitingEstablishment);
      break;
    case Event::DlRelease:
      discard_queue();
      rc = 0;
      tx_cmd_resp(Control::DISC, true, true);
      stop(TimerName::T203);
      start(TimerName::T200);
      change_state(AwaitingRelease);
      break;
    case Event::MdlRemove:
      discard_queue();
      stop(TimerName::T200);
      stop(TimerName::T203);
      change_state(TeiUnassigned);
      report_release(new Status(this, removed));
      break;
    case Event::SABME:
      tx_cmd_resp(Control::UA, frame.pf, false);
      clear_exception_conditions();
      on_error(PeerReestablish);
      report_established();
      stop(TimerName::T200);
      start(TimerName::T203);
      break;
    case Event::DISC:
      discard_queue();
      tx_cmd_resp(Control::UA, frame.pf, false);
      stop(TimerName::T200);
      stop(TimerName::T203);
      change_state(TeiAssigned);
      report_release(new Status(this, disconnected));
      break;
    case Event::UA: on_error(UnsolicitedUa); break;
    case Event::DM:
      if (!is_command(frame.cr) && frame.pf) {
        on_error(DmF1);
        break;
      }
      on_error(DmF0);
      establish();
      l3_initiated = false;
      change_state(AwaitingEstablishment);
      break;
    case Event::FRMR:
      on_error(FrmrReceived);
      establish();
      l3_initiated = false;
      change_state(AwaitingEstablishment);
      break;
    case Event::RR:
    case Event::RNR:
    case Event::REJ: on_supervisory_established(event, frame); break;
    case Event::T200:
      // Q.921 5.6.7: poll the peer for its state.
      rc = 0;
      enquiry();
      rc = 1;
      if (log > 1) std::clog << ext::header(this) << "ack expired" << std::endl;
      change_state(TimerRecovery);
      break;
    case Event::T203:
      enquiry();
      rc = 0;
      change_state(TimerRecovery);
      break;
    default: break;
  }
}

void LAPD::in_timer_recovery(Event event, const Frame& frame) {
  switch (event) {
    case Event::DlEstablish:
      discard_queue();
      establish();
      l3_initiated = true;
      change_state(AwaitingEstablishment);
      break;
    case Event::DlRelease:
      discard_queue();
      rc = 0;
      tx_cmd_resp(Control::DISC, true, true);
      start(TimerName::T200);
      change_state(AwaitingRelease);
      break;
    case Event::MdlRemove:
      discard_queue();
      stop(TimerName::T200);
      change_state(TeiUnassigned);
      report_release(new Status(this, removed));
      break;
    case Event::SABME:
      tx_cmd_resp(Control::UA, frame.pf, false);
      clear_exception_conditions();
      on_error(PeerReestablish);
      change_state(MultipleFrameEstablished);
      report_established();
      stop(TimerName::T200);
      start(TimerName::T203);
      break;
    case Event::DISC:
      discard_queue();
      tx_cmd_resp(Control::UA, frame.pf, false);
      stop(TimerName::T200);
      change_state(TeiAssigned);
      report_release(new Status(this, disconnected));
      break;
    case Event::UA: on_error(UnsolicitedUa); break;
    case Event::DM:
      on_error(!is_command(frame.cr) && frame.pf ? DmF1 : DmF0);
      establish();
      l3_initiated = false;
      change_state(AwaitingEstablishment);
      break;
    case Event::FRMR:
      on_error(FrmrReceived);
      establish();
      l3_initiated = false;
      change_state(AwaitingEstablishment);
      break;
    case Event::RR:
    case Event::RNR:
    case Event::REJ: on_supervisory_recovery(event, frame); break;
    case Event::T200:
      if (rc >= N200) {
        if (log > 1) std::clog << ext::header(this) << "ack error !!!" << std::endl;
        on_error(RetriedEnquiry);
        establish();
        l3_initiated = false;
        change_state(AwaitingEstablishment);
      } else {
        if (log > 1) std::clog << ext::header(this) << "ack timeout expired RC=" << rc << std::endl;
        enquiry();
        ++rc;
      }
      break;
    default: break;
  }
}

void LAPD::on_supervisory_established(Event event, const Frame& frame) {
  peer_busy = event == Event::RNR;
  if (frame.pf) {
    if (is_command(frame.cr)) {
      enquiry_response();
    } else if (event == Event::RR) {
      if (log > 3) std::clog << ext::header(this) << "receive RR (solicited response) in MFE_EST" << std::endl;
    } else {
      on_error(SupervisoryF1);
    }
  }
  const Sequence nr = frame.nr;
  if (!nr_in_range(nr)) {
    nr_error_recovery();
    return;
  }
  switch (event) {
    case Event::RR:
      if (nr == vs) {
        va = nr;
        stop(TimerName::T200);
        start(TimerName::T203);
      } else if (nr != va) {
        va = nr;
        start(TimerName::T200);
      }
      break;
    case Event::REJ:
      stop(TimerName::T200);
      start(TimerName::T203);
      retransmission_request(nr);
      break;
    default:
      va = nr;
      stop(TimerName::T203);
      start(TimerName::T200);
      break;
  }
}

void LAPD::on_supervisory_recovery(Event event, const Frame& frame) {
  peer_busy = event == Event::RNR;
  const bool command = is_command(frame.cr);
  const Sequence nr = frame.nr;
  if (command && frame.pf) enquiry_response();
  if (!command && frame.pf) {
    // Q.921 5.6.7: the answer to our enquiry ends timer recovery.
    if (!nr_in_range(nr)) {
      nr_error_recovery();
      return;
    }
    if (event == Event::RNR) {
      start(TimerName::T200);
    } else {
      stop(TimerName::T200);
      start(TimerName::T203);
    }
    retransmission_request(nr);
    change_state(MultipleFrameEstablished);
    return;
  }
  if (nr_in_range(nr)) {
    va = nr;
    return;
  }
  if (event == Event::RR && log > 3) std::clog << ext::header(this) << "receive RR with out of order N(R)" << std::endl;
  nr_error_recovery();
}

void LAPD::on_iframe(const Frame& frame, Packet& packet) {
  if (log > 3) std::clog << ext::header(this) << "I-Command pf=" << int(frame.pf) << std::endl;
  if (state != MultipleFrameEstablished && state != TimerRecovery) return;
  const bool in_sequence = !own_busy && frame.ns == unsigned(vr);
  // The message for layer 3 may need a buffer of its own: taken before anything changes.
  if (in_sequence)
    for (int i = 0; i < 4; ++i) packet.pull();
  if (!own_busy) {
    if (!in_sequence) {
      // Q.921 5.8.1: one REJ per sequence error; later frames only answer a poll.
      ++stats.rejected;
      if (!reject_exception) {
        reject_exception = true;
        tx_cmd_resp(Control::REJ, frame.pf, false);
        ack_rq = false;
      } else if (frame.pf) {
        tx_cmd_resp(Control::RR, true, false);
        ack_rq = false;
      }
    } else {
      ++vr;
      reject_exception = false;
      ++stats.rx_messages;
      if (frame.pf) {
        ack_rq = false;
        tx_cmd_resp(Control::RR, true, false);
      } else {
        ack_rq = true;
      }
      on_message(packet);
    }
  } else if (frame.pf) {
    tx_cmd_resp(Control::RNR, true, false);
    ack_rq = false;
  }

  const Sequence nr = frame.nr;
  if (!nr_in_range(nr)) {
    nr_error_recovery();
    return;
  }
  if (!peer_busy && state == MultipleFrameEstablished) {
    if (nr == vs) {
      stop(TimerName::T200);
      start(TimerName::T203);
    } else if (nr != va) {
      start(TimerName::T200);
    }
  }
  va = nr;
}

void LAPD::establish() {
  clear_exception_conditions();
  rc = 0;
  tx_cmd_resp(Control::SABME, true, true);
  stop(TimerName::T203);
  start(TimerName::T200);
}

void LAPD::clear_exception_conditions() {
  peer_busy = false;
  own_busy = false;
  reject_exception = false;
  ack_rq = false;
}

void LAPD::enquiry() {
  if (log > 3) std::clog << ext::header(this) << "tx_enquiry, ownBusy=" << int(own_busy) << std::endl;
  tx_cmd_resp(own_busy ? Control::RNR : Control::RR, true, true);
  ack_rq = false;
  start(TimerName::T200);
}

void LAPD::enquiry_response() {
  if (log > 3) std::clog << ext::header(this) << "tx_enquiry_response" << std::endl;
  tx_cmd_resp(own_busy ? Control::RNR : Control::RR, true, false);
  ack_rq = false;
}

void LAPD::retransmission_request(Sequence nr) {
  va = nr;
  retr_rq = true;
  queued_up = true;
}

void LAPD::nr_error_recovery() {
  ++stats.bad_confirm;
  on_error(NrError);
  establish();
  l3_initiated = false;
  change_state(AwaitingEstablishment);
}

bool LAPD::nr_in_range(Sequence nr) const { return unsigned(nr - va) <= unsigned(vs - va); }

}  // namespace ISDN
