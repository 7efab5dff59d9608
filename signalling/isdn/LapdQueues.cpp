// Layer-3 messages on their way down: the outgoing queue, I frames within
// the window, the acknowledge queue that keeps them until the peer confirms
// them, the flow status that tells the owner of congestion, and the link
// information the owner reports to the controller.

#include "signalling/isdn/Lapd.h"

#include <iostream>

#include "foundation/os/Ext.h"

namespace ISDN {

void LAPD::message(Packet& p) {
  guarded("message", [this, &p] {
    ++stats.tx_messages;
    if (p.length() == 0) {
      ++stats.empty_messages;
      return;
    }
    if (out_queue.count() > out_queue_limit) {
      std::clog << ext::header(this) << "discard outgoing message: buffer overflow" << std::endl;
      ++stats.out_overflows;
    } else {
      if (out_queue.count() > window && log > 2)
        std::clog << ext::header(this) << "outgoing queue size = " << out_queue.count()
                  << " tx counter = " << stats.tx_messages << std::endl;
      if (log > 2) std::clog << ext::header(this) << "add to tx queue: " << p.text() << std::endl;
      out_queue.put(p);
      queued_up = true;
    }
    if (state == TeiUnassigned) {
      change_state(AssignAwaitingTei);
      begin_tei_assignment();
    }
    if (out_queue.count() > busy_above) change_flowstatus(FlowStatus::busy);
    local_events();
  });
}

void LAPD::local_events() {
  refresh_ack_queue();
  transmit_iframes();
  send_pending_ack();
  if (out_queue.count() < normal_below) change_flowstatus(FlowStatus::normal);
}

void LAPD::refresh_ack_queue() {
  const unsigned outstanding = unsigned(vs - va);
  unsigned acknowledged = 0;
  Packet done;
  while (ack_queue.count() > outstanding && ack_queue.get(done)) ++acknowledged;
  done.release();
  if (acknowledged > 0 && log > 2)
    std::clog << ext::header(this) << "acknowledge " << acknowledged << " frames"
              << " VS=" << unsigned(vs) << " VA=" << unsigned(va) << std::endl;
  if (log > 2 && out_queue.empty()) std::clog << ext::header(this) << "outgoing queue empty." << std::endl;
  if (!retr_rq) return;
  if (log != 0 && !ack_queue.empty())
    std::clog << ext::header(this) << "retransmission "
              << " VS=" << unsigned(vs) << " VA=" << unsigned(va) << std::endl;
  vs = va;
  // Newest first to the front, so they go again in the order first sent.
  Packet again;
  while (ack_queue.get_last(&again)) {
    out_queue.append(again);
    ++stats.retrains;
  }
  retr_rq = false;
}

void LAPD::transmit_iframes() {
  while (queued_up) {
    queued_up = false;
    switch (state) {
      case MultipleFrameEstablished: {
        if (peer_busy || vs == va + Sequence(window)) {
          queued_up = true;
          return;
        }
        Packet next;
        if (!out_queue.preview(&next)) return;
        // Stays set until the frame is out: a refusing channel retries on the next local events.
        queued_up = true;
        if (!tx_iframe(next, false)) return;
        out_queue.get(next);
        if (!ack_queue.put(next)) {
          std::clog << ext::header(this) << "ack queue overflow!" << std::endl;
          ++stats.ack_overflows;
        }
        ++vs;
        ack_rq = false;
        if (!t200_running) {
          stop(TimerName::T203);
          start(TimerName::T200);
        }
        queued_up = !out_queue.empty();
        break;
      }
      case TimerRecovery: queued_up = true; return;
      case AwaitingEstablishment:
        if (!l3_initiated) queued_up = true;
        return;
      default: return;
    }
  }
}

void LAPD::send_pending_ack() {
  if (ack_rq && (state == MultipleFrameEstablished || state == TimerRecovery) && tx_cmd_resp(Control::RR, false, false))
    ack_rq = false;
}

void LAPD::change_flowstatus(FlowStatus::Type status) {
  if (status == flow_status) return;
  flow_status = status;
  if (notify) notify->OnLAPD_FlowStatusChange(this);
}

void LAPD::discard_queue() {
  if (log != 0)
    std::clog << ext::header(this) << "discard queue "
              << " OutData=" << out_queue.count() << " AckData=" << ack_queue.count() << std::endl;
  out_queue.clear();
  ack_queue.clear();
}

bool LAPD::GetInfo(ACP::IsdnLinkInfo& info) const {
  info.set_side(ACP::IsdnSide::NamedNumber(side));
  info.set_msuTxCount(int(stats.tx_messages));
  info.set_msuRxCount(int(stats.rx_messages));
  info.set_mT200(int(stats.t200_expired));
  info.set_mT203(int(stats.t203_expired));
  info.set_errors(int(stats.errors));
  info.set_retrains(int(stats.retrains));
  info.set_rejected(int(stats.rejected));
  info.set_badconfirm(int(stats.bad_confirm));
  info.set_outOverflows(int(stats.out_overflows));
  info.set_ackOverflows(int(stats.ack_overflows));
  info.set_lapdState(ACP::LAPDState::NamedNumber(state));
  info.set_rc(rc);
  info.set_peerBusy(peer_busy);
  info.set_ownBusy(own_busy);
  info.set_rejException(reject_exception);
  info.set_ackPending(false);
  info.set_l3Initiated(l3_initiated);
  info.set_establishable(establishable);
  info.set_queuedUpRQ(queued_up);
  info.set_retrRQ(retr_rq);
  info.set_ackRQ(ack_rq);
  info.set_t200run(t200_running);
  info.set_t203run(t203_running);
  info.set_vs(int(unsigned(vs)));
  info.set_va(int(unsigned(va)));
  info.set_vr(int(unsigned(vr)));
  info.set_queueOut(int(out_queue.count()));
  info.set_queueAck(int(ack_queue.count()));
  if (info.compare(last_info) == 0) return false;
  last_info = info;
  return true;
}

}  // namespace ISDN
