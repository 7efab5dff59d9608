#pragma once
// The vocabulary of the Q.921 data link entities: the side, the states and
// events of the SDL diagrams (Q.921 Annex B), the timers with their periods,
// and the snapshot of one link's state variables that error reports carry.

#include <cstdint>
#include <iosfwd>

#include "foundation/packet/Cyclic.h"

namespace ISDN {

struct Side {
  enum type { user = 0, network = 1 };
};
std::ostream& operator<<(std::ostream& out, Side::type side);

// Q.921 Annex B; numbered as ACP::LAPDState reports them.
enum State : unsigned {
  TeiUnassigned = 0,
  AssignAwaitingTei = 1,
  EstablishAwaitingTei = 2,
  TeiAssigned = 3,
  AwaitingEstablishment = 4,
  AwaitingRelease = 5,
  MultipleFrameEstablished = 6,
  TimerRecovery = 7,
};
// Any other value gives "(unknown)".
const char* statetext(unsigned char state);

// The primitives, frames and timer expiries the state machine reacts to.
enum class Event : uint8_t {
  DlEstablish,
  DlRelease,
  MdlAssign,
  MdlRemove,
  SABME,
  DISC,
  UA,
  DM,
  FRMR,
  RR,
  RNR,
  REJ,
  I,
  T200,
  T202,
  T203,
};
const char* event_text(Event event);
std::ostream& operator<<(std::ostream& out, Event event);

// Q.921 5.9: the timers as this gateway runs them, and the TEI audit of the
// network side. T201 is how long an audited TEI has to answer.
enum class TimerName : uint8_t { T200, T201, T202, T203, Audit };
struct TimerDefault {
  TimerName name;
  const char* text;
  unsigned ms;
};
const TimerDefault& timer_default(TimerName name);
inline unsigned timer_ms(TimerName name) { return timer_default(name).ms; }
// Q.921 5.9.2: retransmissions of SABME, DISC and status enquiries.
constexpr int N200 = 3;
// Q.921 5.9.4: TEI assignment gives up when T202 expires with more retries than this.
constexpr int N202 = 3;

using Sequence = Cyclic<unsigned, 127>;

// A link's state variables; copied whole into every error report.
struct LAPDFullState {
  State state = TeiAssigned;
  int32_t self_tei = 0;
  int32_t self_sapi = 0;
  int32_t peer_tei = 0;
  int32_t peer_sapi = 0;
  int32_t rc = 0;
  bool peer_busy = false;
  // Nothing sets it: this gateway never sends RNR.
  bool own_busy = false;
  bool reject_exception = false;
  bool l3_initiated = false;
  bool establishable = true;
  bool queued_up = false;
  bool retr_rq = false;
  bool ack_rq = false;
  bool t200_running = false;
  bool t202_running = false;
  bool t203_running = false;
  Sequence vs;
  Sequence va;
  Sequence vr;

  // The dump that follows a report's text, one "   - " line each.
  void out(std::ostream& os) const;
};

}  // namespace ISDN
