// UI frames on a basic-rate link: layer-3 broadcasts, and the user side of
// TEI management (Q.921 5.3): asking for a TEI, answering the network's
// checks, and giving the TEI up when the network removes it.

#include "signalling/isdn/Lapd.h"

#include <cstdlib>
#include <iostream>

#include "foundation/os/Ext.h"

namespace ISDN {

namespace {

const char* const tei_given_up = "link error (T202 expired N202 times)";
constexpr unsigned TeiDenied = 32768;

}  // namespace

void LAPD::on_UI(const Frame& frame, Packet& packet) {
  if (!bri || frame.info_size == 0) return;
  if (log > 3) std::clog << ext::header(this) << "on_UI()" << std::endl;
  if (frame.info[0] != tei_management_entity) {
    for (int i = 0; i < 3; ++i) packet.pull();
    // A broadcast (a SETUP to every terminal) also wakes an idle link.
    if (side == Side::user) {
      if (state == AwaitingEstablishment) change_state(TeiAssigned);
      if (state == TeiAssigned) dl_establish();
    }
    on_message(packet);
    return;
  }
  TeiMessage message;
  if (!decode_tei_message(frame.info, frame.info_size, message)) return;
  if (log > 3)
    std::clog << ext::header(this) << "on_UI() type=" << unsigned(message.type) << " Ai=" << unsigned(message.ai)
              << std::endl;
  on_tei_message(message);
}

void LAPD::on_tei_message(const TeiMessage& message) {
  switch (message.type) {
    case IdentityDenied:
      if (state != AssignAwaitingTei || message.ri != ri) return;
      if (message.ai == group_tei)
        std::clog << ext::header(this) << "ASP returned: All TEI's used" << std::endl;
      else
        std::clog << ext::header(this) << "ASP returned: TEI " << unsigned(message.ai) << " denied" << std::endl;
      // T202 keeps running: the request goes again when it expires.
      on_error(TeiDenied);
      break;
    case IdentityAssigned:
      if ((state != AssignAwaitingTei && state != EstablishAwaitingTei) || message.ri != ri) return;
      // A pending establish starts T200 inside the assignment while T202 still
      // runs; both steps are reported by the timer discipline.
      mdl_assign(message.ai);
      stop(TimerName::T202);
      start(TimerName::T200);
      break;
    case IdentityCheckRequest:
      if (state > EstablishAwaitingTei && (message.ai == group_tei || message.ai == self_tei))
        tx_identity(ri, uint8_t(self_tei), IdentityCheckResponse);
      break;
    case IdentityRemove:
      // Not while a request is out: a network sends every remove twice, and
      // asking again with a new Ri would leave its answer unused and the TEI it
      // gave held for nobody.
      if (state != AssignAwaitingTei && state != EstablishAwaitingTei &&
          (message.ai == group_tei || message.ai == self_tei)) {
        mdl_remove();
        begin_tei_assignment();
      }
      break;
    default: break;
  }
}

void LAPD::begin_tei_assignment() {
  if (!bri || side != Side::user) return;
  // An establish request waiting for the TEI keeps waiting: it completes on assignment.
  if (state != EstablishAwaitingTei) change_state(AssignAwaitingTei);
  on_mdl_assign();
  ri = uint16_t(std::rand() & 0xFFFF);
  tx_identity(ri, group_tei, IdentityRequest);
  rc = 0;
  stop(TimerName::T200);
  stop(TimerName::T203);
  start(TimerName::T202);
}

void LAPD::retry_tei_request() {
  if (rc > N202) {
    change_state(TeiUnassigned, false);
    report_release(new Status(this, tei_given_up));
    return;
  }
  ri = uint16_t(std::rand() & 0xFFFF);
  tx_identity(ri, group_tei, IdentityRequest);
  start(TimerName::T202);
  ++rc;
}

}  // namespace ISDN
