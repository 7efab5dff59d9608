#pragma once
// Raw HDLC frames between the controller and one trunk timeslot, with no
// link layer in the gateway. Each package the controller sends becomes a
// frame: the slot's 16-bit address, a sequence octet, the body. Received
// frames with the slot's address go up without those three octets, batched
// into hdlcPackages lists: a list leaves at once, or within 100 ms while the
// frames say more follow. The channel's counters go up every 3000 ms.

#include <cstdint>
#include <iosfwd>
#include <memory>

#include "asn1/modules/LGCP.h"
#include "foundation/eventloop/Timer.h"
#include "foundation/packet/CleanQueue.h"
#include "server/slot/Slot.h"
#include "server/slot/SlotFactory.h"
#include "signalling/Hdlc.h"

class HdlcSlot : public Slot, public HDLC::Notify {
public:
  static constexpr unsigned TxQueueSize = 120;
  static constexpr unsigned FlushDelay = 100;
  static const TimerSpec<HdlcSlot>::Spec TUpdatespec;

  explicit HdlcSlot(const LGCP::HdlcParams& params);
  ~HdlcSlot() override;

  bool IActivate(const TERM::TermActivateParams&) override;
  bool IDeactivate() override;
  // hdlcPackages: every package becomes a frame on the channel.
  bool Ioctl(const LGCP::IoctlParams& params) override;
  // It beats a trunk slot's, so this slot does the hardware work.
  int GetConnectionPriority() override { return 1; }
  bool IHwConnectTransmitter(Slot& peer) override;
  bool IHwConnectReceiver(Slot& peer) override;
  bool IHwDisconnectTransmitter(Slot& peer) override;
  bool IHwDisconnectReceiver(Slot& peer) override;
  bool IOnOutputStream() override { return true; }
  bool IOnInputStream() override { return true; }
  const char* GetName() const override { return "hdlc-slot"; }

  void on_hdlc_receive(Packet& frame) override;
  void on_hdlc_error(HDLC::Notify::Cause::Type cause) override;
  // Drains the transmit queue while the channel takes frames.
  void on_hdlc_ready() override;

  void PutHeader(std::ostream& out) const;

  const HDLC& channel() const { return *hdlc; }

private:
  // The channel on the peer's switch channel; both directions on params.tdm.
  void connectTo(int tdm, const char* hook);
  void activate();
  void flush();
  void OnFlushTimer();
  void OnUpdateTimer();
  bool enqueue(const std::string& body);

  std::unique_ptr<HDLC> hdlc;
  LGCP::IoctlResponse response;
  ASN1::SEQUENCE_OF<LGCP::HdlcPackage>& packages;
  int32_t trunk;
  TimerSpec<HdlcSlot>::SpecTimer<TUpdatespec> update_timer;
  Timer flush_timer;
  CleanQueue<Packet, TxQueueSize> tx_queue;
  uint16_t address;
  uint8_t tx_seq = 0;
  uint8_t rx_seq = 0;
};

class HdlcSlotFactory : public SlotFactory {
public:
  static HdlcSlotFactory& instance();

  const char* GetName() const override { return "HdlcSlotFactory"; }
  // hdlcParams only.
  Slot* INewSlot(const LGCP::CreateParams& params) override;

private:
  HdlcSlotFactory() = default;
};
