#include "signalling/isdn/LapdState.h"

#include <ostream>

namespace ISDN {

namespace {

const char* const state_names[] = {
    "TEI unassigned",         "Assign awaiting TEI", "Establish awaiting TEI",     "TEI assigned",
    "Awaiting establishment", "Awaiting release",    "Multiple frame established", "Timer recovery",
};

// The primitives' names are the trace lines of their requests; the frames'
// names start the frame handlers' trace lines.
const char* const event_names[] = {
    "DL-ESTABLISH", "DL-RELEASE", "MDL-ASSIGN", "MDL-REMOVE", "SABME", "DISC", "UA",   "DM",
    "FRMR",         "RR",         "RNR",        "REJ",        "I",     "T200", "T202", "T203",
};

const TimerDefault timer_defaults[] = {
    {TimerName::T200, "T200", 1000},  {TimerName::T201, "T201", 2000},    {TimerName::T202, "T202", 2000},
    {TimerName::T203, "T203", 10000}, {TimerName::Audit, "audit", 60000},
};

const char* running(bool flag) { return flag ? "running" : "stopped"; }

}  // namespace

std::ostream& operator<<(std::ostream& out, Side::type side) {
  return out << (side == Side::network ? "network" : "user");
}

const char* statetext(unsigned char state) {
  return state < sizeof state_names / sizeof *state_names ? state_names[state] : "(unknown)";
}

const char* event_text(Event event) {
  const unsigned i = unsigned(event);
  return i < sizeof event_names / sizeof *event_names ? event_names[i] : "(unknown)";
}

std::ostream& operator<<(std::ostream& out, Event event) { return out << event_text(event); }

const TimerDefault& timer_default(TimerName name) { return timer_defaults[unsigned(name)]; }

void LAPDFullState::out(std::ostream& os) const {
  os << "\n   - state: " << statetext(uint8_t(state)) << "\n   - self: TEI=" << self_tei << ", SAPI=" << self_sapi
     << ", busy=" << int(own_busy) << "\n   - peer: TEI=" << peer_tei << ", SAPI=" << peer_sapi
     << ", busy=" << int(peer_busy) << "\n   - counters: VS=" << unsigned(vs) << ", VA=" << unsigned(va)
     << ", VR=" << unsigned(vr) << ", RC=" << rc << "\n   - internal signals: AckRQ=" << int(ack_rq)
     << ", RetrRQ=" << int(retr_rq) << ", QueuedUp=" << int(queued_up)
     << "\n   - flags: L3Initiated=" << int(l3_initiated) << ", Establishable=" << int(establishable)
     << ", RejectException=" << int(reject_exception) << "\n   - timers: T200 " << running(t200_running) << ", T202 "
     << running(t202_running) << ", T203 " << running(t203_running);
}

}  // namespace ISDN
