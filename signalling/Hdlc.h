#pragma once
// One framing channel of the board's multichannel HDLC controller. Each
// activation opens "/dev/mcc/ctl" afresh, allocates a controller channel and
// cross-connects it with the trunk timeslot through the TDM switch; from then
// on one write() sends one whole frame and one read() returns one. Flags, bit
// stuffing and the FCS are the controller's work.
//
// Link layers see only the abstract channel (GenericHDLC) and its listener
// (HDLC::Notify), so the ISDN slots can offer their own descriptor instead.

#include <cstdint>
#include <iosfwd>

#include "foundation/eventloop/Event.h"
#include "foundation/packet/Packet.h"

class GenericHDLC {
public:
  virtual ~GenericHDLC() = default;
  // True when the frame was written (or was empty).
  virtual bool hdlc_transmit(Packet& frame) = 0;
  virtual bool is_open() const = 0;
  // False after a write that would block, until on_hdlc_ready().
  virtual bool is_ready() const = 0;
};

class HDLC : public GenericHDLC {
public:
  class Notify {
  public:
    struct Cause {
      // The channel closed itself after a receive failure.
      enum Type { receiveFailure = 0 };
    };
    virtual ~Notify() = default;
    // One received frame.
    virtual void on_hdlc_receive(Packet& frame) = 0;
    virtual void on_hdlc_error(Cause::Type cause) = 0;
    // The channel became writable again after a write that would block.
    virtual void on_hdlc_ready() = 0;
  };

  // What the owning slot sets before activate(); may change between activations.
  struct Params {
    int32_t trunk = 0;
    int32_t timeslot = 0;
    // The switch channel the controller receives from, and in modes 0 and 1 transmits to.
    int32_t tdm = -1;
    // The switch channel the controller transmits to in mode 2.
    int32_t tdm_tx = -1;
    // 0 SS7 link or CAS signalling, 1 data or ISDN primary-rate D channel,
    // 2 ISDN basic-rate D channel.
    int32_t mode = 0;
  };

  HDLC();
  ~HDLC() override;
  HDLC(const HDLC&) = delete;
  HDLC& operator=(const HDLC&) = delete;

  // Points the listener at one process-wide listener that does nothing.
  void unbind();

  // (Re)starts the channel from idle; false, with a log line, on failure
  // (a mode other than 0, 1 and 2 included: it has no channel type).
  bool activate();
  // Closes the descriptor; the switch connections stay.
  void deactivate();

  bool hdlc_transmit(Packet& frame) override;
  bool is_open() const override;
  bool is_ready() const override { return ready; }

  void PutHeader(std::ostream& out) const;

  bool ready = false;
  Params params;
  // Counted as they travel in LGCP::HdlcLinkInfo.
  uint32_t txSU = 0;
  uint32_t txDiscard = 0;
  uint32_t txError = 0;
  uint32_t txOverflow = 0;  // the raw HDLC slot counts the frames it could not queue
  uint32_t rxSU = 0;
  // For log lines only.
  uint32_t trunk_no = 0;
  Notify* notify = nullptr;

private:
  void OnEvent(int fd, short revents);
  void receive();

  Event m_event;
  // Moves with every activation and deactivation, so an event handler knows
  // when a listener closed or reopened the channel under it.
  unsigned generation = 0;
};
