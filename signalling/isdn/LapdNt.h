#pragma once
// The network side of a BRI line's D channel: the gateway is the exchange
// for up to 8 terminals on the bus. It runs the network's TEI management
// (identity request, check, remove, verify; Q.921 5.3), audits every TEI
// once a minute, keeps one simplified data link per terminal, and routes
// layer-3 messages: a SETUP goes to every terminal as a broadcast UI frame,
// any other message to the terminal whose call reference it carries.
//
// Frames go to the frame channel (`hdlc`) when one is attached, else down
// the protocol stack; frames come from the channel's listener or from below.

#include <cstdint>
#include <functional>
#include <iosfwd>

#include "foundation/eventloop/Timer.h"
#include "foundation/packet/CleanQueue.h"
#include "foundation/protocol/Protocol.h"
#include "signalling/Hdlc.h"
#include "signalling/isdn/Frame.h"
#include "signalling/isdn/LapdState.h"

namespace ISDN {

class LAPD_NT;

// The data link towards one terminal: its TEI, sequence numbers, the poll
// that checks an idle terminal (T203) or waits for an answer (T200), and
// the check that the TEI audit runs on it (T201).
class LAPD_NT_user {
public:
  enum State : int32_t { unassigned = 0, assigned = 1, wait_answer = 2 };

  // Q.921 5.9.5: k = 7 outstanding I frames; held messages beyond this many are dropped, oldest first.
  static constexpr unsigned window = 7;
  static constexpr unsigned held_limit = 128;

  LAPD_NT_user() = default;
  LAPD_NT_user(const LAPD_NT_user&) = delete;
  LAPD_NT_user& operator=(const LAPD_NT_user&) = delete;

  void set_lapd(LAPD_NT* owner) { lapd = owner; }
  void set_log(unsigned level) { log = level; }
  void PutHeader(std::ostream& out) const;

  // Takes the TEI into use (SABME to the terminal), or ends a pending check.
  void assign();
  void unassign();
  // The audit: the TEI must be confirmed within T201.
  void checking();
  // One frame addressed to this user's TEI.
  void receive(const Frame& frame, Packet& packet);
  // A layer-3 message for this terminal's call reference; false when it is not this terminal's.
  bool message(Packet& packet);
  void on_timer();

  bool check_pending = false;
  LAPD_NT* lapd = nullptr;
  Sequence vr;
  // V(A): the N(R) of the last acknowledgement accepted.
  Sequence acked;
  Sequence vs;
  uint8_t tei = 0;
  State state = unassigned;
  int32_t retry = 0;
  // The call reference (7 bits) of the last layer-3 message from the terminal.
  uint8_t call_ref = 0;
  // The terminal sent RNR.
  bool busy = false;
  uint32_t log = 0;
  // Ri of the last check response accepted.
  uint16_t ri = 0;

  unsigned held() const { return out_queue.count(); }
  unsigned unacknowledged() const { return ack_queue.count(); }

private:
  void on_iframe(const Frame& frame, Packet& packet);
  void on_supervisory(const Frame& frame);
  void on_unnumbered(const Frame& frame);
  // The frames N(R) confirms, or -1 when it lies outside the window.
  int acknowledge(Sequence nr);
  void acknowledged(bool progressed);
  void enter(State next);
  void set_busy();
  void set_unbusy(bool progressed);
  bool send_held();
  bool send_iframe(const Packet& message);
  void retransmit();
  bool tx_I(const Packet& message, Sequence nr, Sequence ns);
  void tx_S(uint8_t code, bool pf, bool command);
  void tx_U(uint8_t code, bool pf, bool command);
  void trace(const char* text) const;
  void on_poll();

  Timer poll_timer;
  Timer check_timer;
  // Messages held while the terminal is busy or the window is full, without header.
  CleanQueue<Packet, 135> out_queue;
  // I frames sent and not acknowledged, with their header.
  CleanQueue<Packet, window> ack_queue;
};
const char* user_state_text(LAPD_NT_user::State state);

class LAPD_NT : public Protocol, public HDLC::Notify {
public:
  static constexpr unsigned terminals = 8;
  // Q.921 5.3.2: the TEIs the network assigns automatically.
  static constexpr uint8_t first_automatic_tei = 64;
  static constexpr uint8_t last_automatic_tei = 126;

  LAPD_NT();
  ~LAPD_NT() override;

  void local_prepare_head(Packet& p) override;
  void local_prepare_tail(Packet& p) override;
  // Starts the TEI audit and reports the layer active at once.
  void local_activate() override;
  // Stops the audit and frees every terminal; nothing goes up.
  void local_deactivate() override;
  // A layer-3 message from the controller.
  void message(Packet& p) override;
  // One frame from the line.
  void receive(Packet& p) override;

  void on_hdlc_receive(Packet& frame) override;
  void on_hdlc_error(HDLC::Notify::Cause::Type cause) override;
  void on_hdlc_ready() override;

  void set_log(unsigned level);
  void PutHeader(std::ostream& out) const;
  void tx_identity(uint16_t ri, uint8_t ai, TeiMessageType type);
  void check_all_Tei();
  void on_tei_procedure(const TeiMessage& message);
  // The user in use with this TEI, or null.
  LAPD_NT_user* find_Tei(uint8_t tei);
  // A free user that takes the TEI: for 127 the lowest automatic TEI no
  // user holds. Null when no user or no TEI is free.
  LAPD_NT_user* find_free_Tei(uint8_t tei);
  void send_to_layer3(Packet& message);
  void send_to_layer1(Packet& frame);
  // Runs an entry point; an empty packet pool drops what it was doing.
  void guarded(const char* what, const std::function<void()>& action);
  // A frame to fill, the message's octets behind `headroom` when given: false
  // when the pool is empty, the frame then dropped like one lost on the line.
  bool new_frame(Packet& frame, unsigned headroom = 0, const Packet* message = nullptr);

  const LAPD_NT_user& user(unsigned i) const { return users[i]; }
  unsigned log_level() const { return log; }

  // Attached by the owner; when null, frames go down the protocol stack.
  GenericHDLC* hdlc = nullptr;
  // Messages and frames dropped because the packet pool was empty.
  uint32_t overflows = 0;

private:
  void remove_twice(uint8_t tei);
  void trace(const std::string& text) const;
  void pool_empty(const char* what);
  void on_audit();

  Timer audit_timer;
  LAPD_NT_user users[terminals];
  uint32_t log = 0;
};

}  // namespace ISDN
