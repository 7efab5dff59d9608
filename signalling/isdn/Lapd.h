#pragma once
// The Q.921 (LAPD) data link entity of one D channel and one SAPI/TEI pair:
// multiple-frame operation modulo 128 with a window of 7, T200/T202/T203,
// N200 = 3, and on a basic-rate user-side link automatic TEI assignment.
// It is one protocol layer: layer-3 messages come down through message()
// and go up through on_message(); frames go to the frame channel (`hdlc`)
// and come back through the channel's listener.
//
// Side user serves BRI and PRI terminals; side network serves PRI network
// links (the other C/R convention, no TEI management). A BRI line's network
// side is LAPD_NT.

#include <cstdint>
#include <functional>
#include <iosfwd>

#include "asn1/modules/ACP.h"
#include "foundation/eventloop/Timer.h"
#include "foundation/packet/CleanQueue.h"
#include "foundation/protocol/Protocol.h"
#include "signalling/Hdlc.h"
#include "signalling/isdn/Frame.h"
#include "signalling/isdn/LapdState.h"

namespace ISDN {

class LAPD : public Protocol, private LAPDFullState, public HDLC::Notify {
public:
  // Told when the outgoing queue turns congested or drains.
  class Notify {
  public:
    virtual ~Notify() = default;
    virtual void OnLAPD_FlowStatusChange(LAPD* lapd) = 0;
  };
  struct FlowStatus {
    enum Type { normal = 0, busy = 1 };
  };
  struct Stats {
    uint32_t t200_expired = 0;
    uint32_t t202_expired = 0;
    uint32_t t203_expired = 0;
    uint32_t errors = 0;  // nothing counts into it
    uint32_t retrains = 0;
    // Messages dropped on a full outgoing queue, and messages or frames
    // dropped because the packet pool was empty.
    uint32_t out_overflows = 0;
    uint32_t ack_overflows = 0;
    uint32_t tx_messages = 0;
    uint32_t rx_messages = 0;
    uint32_t empty_messages = 0;
    uint32_t rejected = 0;
    uint32_t bad_confirm = 0;
  };
  // An error or release report: the text and the link's state when it was made.
  class Status : public Protocol_status_error, private LAPDFullState {
  public:
    Status(LAPD* lapd, const std::string& text);
    void out(std::ostream& os) const override;
  };

  // Q.921 5.9.5: k = 7 outstanding I frames.
  static constexpr unsigned window = 7;
  // Above this many queued messages new ones are dropped.
  static constexpr unsigned out_queue_limit = 127;
  // Flow status turns busy above the first and back to normal below the second.
  static constexpr unsigned busy_above = 88;
  static constexpr unsigned normal_below = 65;

  LAPD(Side::type side, unsigned log);
  ~LAPD() override;

  const Protocol_name& name() const override { return name_; }
  void local_prepare_head(Packet& p) override;
  void local_prepare_tail(Packet& p) override;
  // DL-ESTABLISH request.
  void local_activate() override;
  // DL-RELEASE request.
  void local_deactivate() override;
  // DL-DATA request: one layer-3 message.
  void message(Packet& p) override;
  // One received frame.
  void receive(Packet& p) override;

  virtual void PutHeader(std::ostream& out) const;
  void on_hdlc_receive(Packet& frame) override;
  void on_hdlc_error(HDLC::Notify::Cause::Type cause) override;
  void on_hdlc_ready() override;
  // MDL-ASSIGN request from TEI management.
  virtual void mdl_assign(unsigned char tei);
  // Called when a TEI request starts.
  virtual void on_mdl_assign();
  // MDL-REMOVE request from TEI management.
  virtual void mdl_remove();
  // MDL-ERROR indication: the code's text goes up as a Status.
  virtual void on_error(unsigned code);

  // Basic-rate operation: TEI management on, frames for other TEIs ignored.
  void change_to_bri();
  // Fills the record; true when it differs from the one returned last time.
  bool GetInfo(ACP::IsdnLinkInfo& info) const;
  void change_flowstatus(FlowStatus::Type status);
  // Empties the outgoing and the acknowledge queue.
  void discard_queue();

  const char* state_text() const { return statetext(uint8_t(state)); }
  const LAPDFullState& full_state() const { return *this; }
  unsigned queued() const { return out_queue.count(); }
  unsigned unacknowledged() const { return ack_queue.count(); }

  // Set by the owner before activation.
  Side::type side;
  Stats stats;
  Notify* notify = nullptr;
  FlowStatus::Type flow_status = FlowStatus::normal;
  uint32_t trunk = 0;
  // Trace level: above 2 every frame is decoded into the log.
  uint32_t log;
  bool bri = false;
  // Ri of the current TEI request.
  uint16_t ri = 0;
  GenericHDLC* hdlc = nullptr;

private:
  void dl_establish();
  void dispatch(Event event, const Frame& frame);
  void trace_frame(Event event, const Frame& frame) const;
  void in_tei_unassigned(Event event);
  void in_assign_awaiting_tei(Event event);
  void in_establish_awaiting_tei(Event event);
  void in_tei_assigned(Event event, const Frame& frame);
  void in_awaiting_establishment(Event event, const Frame& frame);
  void in_awaiting_release(Event event, const Frame& frame);
  void in_multiple_frame_established(Event event, const Frame& frame);
  void in_timer_recovery(Event event, const Frame& frame);
  void on_supervisory_established(Event event, const Frame& frame);
  void on_supervisory_recovery(Event event, const Frame& frame);
  void on_iframe(const Frame& frame, Packet& packet);
  void on_UI(const Frame& frame, Packet& packet);
  void on_tei_message(const TeiMessage& message);

  // Procedures of Q.921 Annex B.
  void establish();
  void clear_exception_conditions();
  void enquiry();
  void enquiry_response();
  void retransmission_request(Sequence nr);
  void nr_error_recovery();
  bool nr_in_range(Sequence nr) const;
  void report_established();
  void report_release(Protocol_status status);
  void change_state(State next, bool traced = true);

  void begin_tei_assignment();
  void retry_tei_request();
  bool tx_identity(uint16_t ri, uint8_t ai, TeiMessageType type);
  bool tx_cmd_resp(uint8_t code, bool pf, bool command);
  bool tx_iframe(const Packet& message, bool p);
  bool xmit(Packet& frame);
  bool is_command(bool cr) const { return side == Side::user ? cr : !cr; }
  bool cr_bit(bool command) const { return side == Side::user ? !command : command; }

  // One timer runs at a time: starting one cancels the others' events.
  void start(TimerName name);
  void stop(TimerName name);
  bool& running(TimerName name);
  Timer& timer(TimerName name);
  void on_t200();
  void on_t202();
  void on_t203();
  void on_timer(TimerName name, uint32_t& expired);

  // Queues and I frames.
  void local_events();
  void refresh_ack_queue();
  void transmit_iframes();
  void send_pending_ack();

  // Runs an entry point; an empty packet pool drops what it was doing.
  void guarded(const char* what, const std::function<void()>& action);
  // A frame to fill (the message's octets behind room for the header): false
  // when the pool is empty, the frame then dropped like one lost on the line.
  bool new_frame(Packet& frame, const Packet* message = nullptr);
  void pool_empty(const char* what);
  void trace_frame_text(const char* direction, const Packet& frame, bool to_user) const;

  mutable ACP::IsdnLinkInfo last_info;
  Timer t200;
  Timer t202;
  Timer t203;
  CleanQueue<Packet, 135> out_queue;
  CleanQueue<Packet, window> ack_queue;
  Protocol_name_str name_{"ISDN::LAPD"};
};

}  // namespace ISDN
