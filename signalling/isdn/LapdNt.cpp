// The network side of the bus: frames sorted by TEI, the TEI management
// entity and its audit, and layer-3 messages routed to the terminals.

#include "signalling/isdn/LapdNt.h"

#include <iostream>
#include <new>
#include <string>

#include "foundation/os/Ext.h"

namespace ISDN {

namespace {

constexpr uint8_t setup = 0x05;

}  // namespace

LAPD_NT::LAPD_NT() {
  for (LAPD_NT_user& u : users) u.set_lapd(this);
}

LAPD_NT::~LAPD_NT() = default;

void LAPD_NT::local_prepare_head(Packet& p) { p.reserve_head(4); }

void LAPD_NT::local_prepare_tail(Packet& p) { p.reserve_tail(0); }

void LAPD_NT::set_log(unsigned level) {
  log = level;
  for (LAPD_NT_user& u : users) u.set_log(level);
}

void LAPD_NT::PutHeader(std::ostream& out) const { out << "LAPD(NT BRI):"; }

void LAPD_NT::trace(const std::string& text) const {
  if (log != 0) std::clog << ext::header(this) << text << std::endl;
}

void LAPD_NT::guarded(const char* what, const std::function<void()>& action) {
  try {
    action();
  } catch (const std::bad_alloc&) {
    pool_empty(what);
  }
}

void LAPD_NT::pool_empty(const char* what) {
  ++overflows;
  std::cerr << ext::header(this) << "packet pool empty: " << what << " dropped" << std::endl;
}

bool LAPD_NT::new_frame(Packet& frame, unsigned headroom, const Packet* message) {
  try {
    if (message)
      frame = copy_with_headroom(*message, headroom);
    else
      prepare_head(frame);
    return true;
  } catch (const std::bad_alloc&) {
    pool_empty("frame");
    return false;
  }
}

void LAPD_NT::local_activate() {
  guarded("frame", [this] {
    trace("activate");
    check_all_Tei();
  });
  on_activate();
}

void LAPD_NT::local_deactivate() {
  trace("deactivate");
  audit_timer.reset();
  for (LAPD_NT_user& u : users) u.unassign();
}

void LAPD_NT::on_hdlc_receive(Packet& frame) { receive(frame); }

void LAPD_NT::on_hdlc_error(HDLC::Notify::Cause::Type) {}

void LAPD_NT::on_hdlc_ready() {}

void LAPD_NT::check_all_Tei() {
  trace("Checking Tei values....");
  audit_timer.reset();
  for (LAPD_NT_user& u : users) u.checking();
  tx_identity(0, group_tei, IdentityCheckRequest);
  audit_timer.set(timer_ms(TimerName::Audit), &LAPD_NT::on_audit, this);
}

void LAPD_NT::on_audit() {
  guarded("frame", [this] { check_all_Tei(); });
}

void LAPD_NT::tx_identity(uint16_t ri, uint8_t ai, TeiMessageType type) {
  Packet frame;
  if (!new_frame(frame)) return;
  put_tei_frame(frame, true, ri, type, ai);
  send_to_layer1(frame);
}

void LAPD_NT::remove_twice(uint8_t tei) {
  // Q.921 5.3.4: identity remove goes twice, in case one is lost.
  tx_identity(0, tei, IdentityRemove);
  tx_identity(0, tei, IdentityRemove);
}

void LAPD_NT::send_to_layer1(Packet& frame) {
  if (hdlc)
    hdlc->hdlc_transmit(frame);
  else
    transmit(frame);
}

void LAPD_NT::send_to_layer3(Packet& message) { on_message(message); }

LAPD_NT_user* LAPD_NT::find_Tei(uint8_t tei) {
  for (LAPD_NT_user& u : users)
    if (u.state != LAPD_NT_user::unassigned && u.tei == tei) return &u;
  return nullptr;
}

LAPD_NT_user* LAPD_NT::find_free_Tei(uint8_t tei) {
  LAPD_NT_user* free_user = nullptr;
  for (LAPD_NT_user& u : users)
    if (u.state == LAPD_NT_user::unassigned) {
      free_user = &u;
      break;
    }
  if (!free_user) return nullptr;
  if (tei != group_tei) {
    free_user->tei = tei;
    return free_user;
  }
  for (unsigned candidate = first_automatic_tei; candidate <= last_automatic_tei; ++candidate)
    if (!find_Tei(uint8_t(candidate))) {
      free_user->tei = uint8_t(candidate);
      return free_user;
    }
  return nullptr;
}

void LAPD_NT::receive(Packet& p) {
  guarded("received frame", [this, &p] {
    Frame frame;
    if (decode_frame(p.data(), p.length(), frame) != Decoded::ok) return;
    if (frame.tei == group_tei) {
      if (frame.type != FrameType::UI || frame.pf) return;
      if (frame.sapi < tei_management_sapi) {
        for (int i = 0; i < 3; ++i) p.pull();
        send_to_layer3(p);
        return;
      }
      TeiMessage message;
      if (decode_tei_message(frame.info, frame.info_size, message)) on_tei_procedure(message);
      return;
    }
    LAPD_NT_user* u = find_Tei(frame.tei);
    if (!u) {
      u = find_free_Tei(frame.tei);
      if (!u) {
        trace("recieved packet with unassigned TEI=" + std::to_string(frame.tei) + ",removed");
        remove_twice(frame.tei);
        return;
      }
      trace("Warning:recieved packet with unassigned TEI=" + std::to_string(frame.tei));
      u->assign();
    }
    u->receive(frame, p);
  });
}

void LAPD_NT::on_tei_procedure(const TeiMessage& message) {
  const std::string ai = std::to_string(message.ai);
  switch (message.type) {
    case IdentityRequest:
      if (message.ai < first_automatic_tei) {
        trace("recieved identity request with wrong Ai=" + ai + ",ignored");
      } else if (message.ai == group_tei) {
        LAPD_NT_user* u = find_free_Tei(group_tei);
        if (!u) {
          trace("recieved identity request, but all TEI values is ussigned");
          tx_identity(message.ri, group_tei, IdentityDenied);
          return;
        }
        trace("recieved identity request,TEI assigned:" + std::to_string(u->tei));
        tx_identity(message.ri, u->tei, IdentityAssigned);
        u->assign();
      } else {
        trace("recieved identity request with wrong Ai=" + ai + ",denied");
        tx_identity(message.ri, message.ai, IdentityDenied);
      }
      break;
    case IdentityCheckResponse: {
      if (message.ai == group_tei) {
        trace("recieved check response with wrong Ai=" + ai + ",removed");
        remove_twice(group_tei);
        return;
      }
      LAPD_NT_user* u = find_Tei(message.ai);
      if (u && !u->check_pending) {
        if (message.ri == u->ri) return;
        // Q.921 5.3.3: two terminals answered for one TEI.
        trace("recieved check response with dublicated Ai=" + ai + ",removed");
        u->unassign();
        remove_twice(message.ai);
        return;
      }
      if (!u) u = find_free_Tei(message.ai);
      if (!u) {
        trace("recieved check response with wrong Ai=" + ai + ",removed");
        remove_twice(message.ai);
        return;
      }
      trace("TEI " + ai + " checked");
      u->assign();
      u->ri = message.ri;
      break;
    }
    case IdentityVerify:
      trace("recieved verify request");
      check_all_Tei();
      break;
    default: break;
  }
}

void LAPD_NT::message(Packet& p) {
  guarded("message", [this, &p] {
    MessageHeader header;
    if (!read_message_header(p.data(), p.length(), header)) return;
    if (header.type == setup) {
      // Q.931 5.2.1: a SETUP is offered to every terminal on the bus.
      Packet frame;
      if (!new_frame(frame, 3, &p)) return;
      frame.push(Control::UI);
      frame.push(address2(group_tei));
      frame.push(address1(0, true));
      send_to_layer1(frame);
      return;
    }
    for (LAPD_NT_user& u : users)
      if (u.message(p)) return;
  });
}

}  // namespace ISDN
