#pragma once
// SS7 MTP level 2 signalling link control (Q.703) over one HDLC channel:
// initial alignment with proving by link status signal units, then message
// transfer with basic error correction (Q.703 5). Level 3 runs in the
// controller; what goes up and comes down is the MSU payload, SIO and SIF.
//
// Deliberately less than Q.703: no alignment or signal unit error rate
// monitor (proving ends when T4 runs out), no processor outage or busy
// status, no level 2 flow control (no T5, T6), no automatic restart after a
// failure, and FISUs and LSSUs are sent once on the events that call for
// them instead of continuously. Every failure ends in idle, which sends SIOS
// once and reports the link deactivated.
//
// The link is the only layer of its owner's protocol list: activation and
// deactivation come through Protocol, payloads through message(), frames
// through the HDLC::Notify events of the channel the owner forwards.

#include <cstdint>
#include <iosfwd>

#include "foundation/eventloop/Timer.h"
#include "foundation/packet/CleanQueue.h"
#include "foundation/protocol/Protocol.h"
#include "signalling/Hdlc.h"
#include "signalling/ss7/SignalUnit.h"

namespace SS7 {

class SLC : public Protocol, public HDLC::Notify {
public:
  // The numbers are those of ACP::SS7State; "worked" is Q.703's in service.
  struct State {
    enum type { idle, notAligned, aligned, proving, alignedReady, inService };
  };
  // The LSSU status field.
  enum Indication : uint8_t { SIO = 0, SIN = 1, SIE = 2, SIOS = 3 };

  // From the controller's creation parameters.
  struct Params {
    uint32_t trunk = 0;
    uint32_t slc = 0;
    uint32_t dpc = 0;
    uint32_t opc = 0;  // kept, not used at level 2
    bool emergency = false;
  };
  // The controller's ss7Log switches, in its order.
  struct LogSwitches {
    bool state = false;
    bool rawReceive = false;
    bool rawTransmit = false;
    bool mtpTransmit = false;
    bool mtpReceive = false;
    bool mtpActivate = false;
    bool timers = false;
    bool msuProcessing = false;
  };
  // The link counters, in the order of ACP::SS7LinkInfo.
  struct Statistics {
    uint32_t msuSent = 0;         // FISUs and MSUs handed to the channel
    uint32_t msuReceived = 0;     // signal units of 3 octets or more
    uint32_t octetsSent = 0;      // of the units counted as sent, headers included
    uint32_t octetsReceived = 0;  // of every frame, short ones included
    uint32_t overflow = 0;        // MSUs refused by a full TB or lost to an empty packet pool
    uint32_t rtbSize = 0;         // filled by statistics()
    uint32_t repeat = 0;          // retransmissions
    uint32_t badSequence = 0;     // negative acknowledgements sent
  };
  struct TimerSpec {
    unsigned ms;
    void (SLC::*expired)(Timer*);
  };
  // Q.703 timers: T1 alignment ready, T2 not aligned, T3 aligned, T4 proving
  // period (normal and emergency), T7 excessive delay of acknowledgement.
  static const TimerSpec T1, T2, T3, T4n, T4e, T7;

  // An MSU from above waits in the TB only while it holds fewer than this.
  static constexpr unsigned TbLimit = 200;
  // Unacknowledged MSUs at most: FSNs are counted modulo 128.
  static constexpr int RtbLimit = 127;

  SLC();
  ~SLC() override;

  // Where signal units go; not owned, null until set.
  void set_channel(GenericHDLC* channel) { channel_ = channel; }

  // Protocol.
  void local_prepare_head(Packet& p) override;
  void local_prepare_tail(Packet&) override {}
  void local_activate() override;
  void local_deactivate() override;
  // One MSU payload from above, in a packet from prepare_head().
  void message(Packet& payload) override;
  void receive(Packet& frame) override;
  void protocol_info(std::ostream& out) const override;

  // HDLC::Notify.
  void on_hdlc_receive(Packet& frame) override { receive(frame); }
  void on_hdlc_error(Cause::Type cause) override;
  void on_hdlc_ready() override;

  // The trunk under the link changed state; up when it is normal.
  void OnTrunkHardStatus(bool up);

  // Whether a payload of that length from above fits an MSU; one log line
  // when it does not.
  bool accepts(unsigned length) const;

  // Something of this link lost to an empty packet pool, here or in the
  // owner's hands: counted as overflow, one log line.
  void pool_empty(const char* what);

  Statistics statistics() const;
  State::type get_state_id() const { return state_; }
  // The BSN the controller asks for: the last FSN accepted in service. It
  // outlives the failure of the link, since changeover needs it then.
  unsigned last_accepted_fsn() const { return unsigned(bsnt_); }

  // "SS7/L2 [dpc=D, slc=S, trunk=T] (state): "
  void PutHeader(std::ostream& out) const;
  // "SS7/L2 [dpc=D, slc=S, trunk=T]"
  void PutShortInfo(std::ostream& out) const;

  static const char* state_name(State::type state);

  Params params;
  LogSwitches log;

private:
  // What make_expected() takes of the sequence state before a FISU or MSU
  // is handled in service; the checks of that unit compare with it.
  struct Expected {
    Seq accepted;
    bool bib;
    bool fib;
  };
  // Payloads sent and not yet acknowledged, by FSN.
  struct Rtb {
    Packet su[128];
    Seq first;
    Seq last;
    int count = 0;
    bool empty() const { return first - Seq(1) == last; }
    void clear();
  };
  enum class Tx { sent, refused, noBuffer };

  // States (SLCStates.cpp).
  void next_state(State::type to);
  void on_enter(State::type state);
  void fisu_received(const SignalUnit& su);
  void lssu_received(const SignalUnit& su);
  void msu_received(const SignalUnit& su, Packet& payload);
  void on_T1(Timer*);
  void on_T2(Timer*);
  void on_T3(Timer*);
  void on_T4(Timer*);
  void on_T7(Timer*);
  void arm(const TimerSpec& timer) { timer_.set(timer.ms, timer.expired, this); }

  // Basic error correction in service (SLCTransfer.cpp).
  void worked_fisu(const SignalUnit& su);
  void worked_msu(const SignalUnit& su, Packet& payload);
  Expected make_expected() const { return {accepted_, bib_, fib_}; }
  void put_to_tb(Packet& payload);
  void process_tb();
  void process_bsnr(const SignalUnit& su, const Expected& expected);
  void ack(const SignalUnit& su);
  void nack(Expected& expected);
  void retransmit(const SignalUnit& su);
  void reset();

  // Signal units out (SLC.cpp).
  Tx send(Packet payload);
  void fisu() { send(Packet()); }
  void lssu(Indication status);
  void sio() { lssu(SIO); }
  void sin() { lssu(SIN); }
  void sie() { lssu(SIE); }
  void sios() { lssu(SIOS); }
  bool cut_to_li(const SignalUnit& su, Packet& frame);
  std::ostream& line(std::ostream& out) const;

  Seq accepted_;  // last accepted FSN, sent as the BSN
  bool bib_ = true;
  Seq fsn_;  // sent as the FSN of FISUs and MSUs
  bool fib_ = true;
  Seq bsnt_;  // last accepted FSN in service, for the controller
  bool nackOutstanding_ = false;
  bool badBsn_ = false;
  bool badFib_ = false;
  Rtb rtb_;
  // 200 from above plus 127 moved back by a retransmission.
  CleanQueue<Packet, TbLimit + RtbLimit> tb_;
  Timer timer_;
  State::type state_ = State::idle;
  Protocol_name_str name_{"MTP/L2"};
  Statistics stats_;
  GenericHDLC* channel_ = nullptr;
};

}  // namespace SS7
