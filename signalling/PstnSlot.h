#pragma once
// A signalling link on one timeslot of an E1 trunk or a BRI line: SS7 MTP
// level 2, Q.921 (user side or primary rate, or a BRI line's network side),
// or CAS with no link layer at all, over one HDLC channel that opens when the
// controller connects the slot to the trunk. Layer-3 messages and MSU
// payloads travel to and from the controller as user data; link state goes
// up as activated and deactivated, the channel's and the link's counters as
// ioctl signals every 3000 ms.

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <vector>

#include "asn1/modules/ACP.h"
#include "asn1/modules/LGCP.h"
#include "foundation/eventloop/Timer.h"
#include "foundation/protocol/Protocol.h"
#include "server/slot/Slot.h"
#include "server/slot/SlotFactory.h"
#include "signalling/Hdlc.h"
#include "signalling/isdn/Lapd.h"

namespace ISDN {
class LAPD_NT;
}
namespace SS7 {
class SLC;
}

class PstnSlot : public Slot, public ProtocolsFamily, public ISDN::LAPD::Notify, public HDLC::Notify {
public:
  static const TimerSpec<PstnSlot>::Spec TUpdatespec;

  explicit PstnSlot(const LGCP::PstnParams& params);
  ~PstnSlot() override;

  // The link under an SS7 slot hears when its E1 trunk changes state.
  void OnTrunkStatus(unsigned trunk, const ACP::TrunkState& state) override;
  // Reopens the channel and restarts the link layer.
  bool IActivate(const TERM::TermActivateParams&) override;
  bool IDeactivate() override;
  bool IUserData(const std::vector<char>& data) override;
  // ss7RqBSN and ss7Log, on an SS7 slot only.
  bool Ioctl(const LGCP::IoctlParams& params) override;
  // It beats a trunk slot's, so this slot does the hardware work both ways.
  int GetConnectionPriority() override { return 1; }
  bool IHwConnectTransmitter(Slot& peer) override;
  bool IHwConnectReceiver(Slot& peer) override;
  bool IHwDisconnectTransmitter(Slot& peer) override;
  bool IHwDisconnectReceiver(Slot& peer) override;
  bool IOnOutputStream() override { return true; }
  bool IOnInputStream() override { return true; }
  const char* GetName() const override { return "pstn"; }

  // Channel events go to the link layer that reads the channel.
  void on_hdlc_receive(Packet& frame) override;
  void on_hdlc_error(HDLC::Notify::Cause::Type cause) override;
  void on_hdlc_ready() override;

  // Reports of the link layer.
  const Protocol_name& name() const override { return name_; }
  void on_activated(Protocol*) override;
  void on_deactivated(Protocol*, Protocol_status status) override;
  void on_message(Packet& message) override;
  void OnLAPD_FlowStatusChange(ISDN::LAPD* link) override;

  // "pstn-slot 05:pstn: "
  void PutHeader(std::ostream& out) const;

private:
  // What runs on the channel; the numbers also select the channel's mode.
  enum Kind : int32_t { ss7OrCas = 0, isdnPrimary = 1, isdnBriUser = 2, isdnBriNetwork = 3 };

  void buildSs7(const LGCP::SS7Params& params);
  void buildIsdn(const LGCP::IsdnParams& params);
  bool bri() const { return kind_ == isdnBriUser || kind_ == isdnBriNetwork; }
  // The channel opens, then the link layer starts.
  void start();
  void OnUpdateTimer();
  void sendIsdnInfo();
  void sendSs7Info();
  void sendHdlcInfo();
  // A controller message the empty packet pool would not take, counted by the link.
  void poolEmpty();

  std::unique_ptr<HDLC> hdlc;
  Kind kind_ = ss7OrCas;
  // The trunk index (0..3) of an SS7 or user-side ISDN link.
  int32_t trunk = 0;
  // Owned through the family's list; at most one is set.
  SS7::SLC* slc = nullptr;
  ISDN::LAPD* lapd = nullptr;
  ISDN::LAPD_NT* lapd_nt = nullptr;
  HDLC::Notify* lower = nullptr;
  // The last trunk state the SS7 link heard of; unknown at first.
  ACP::TrunkState::NamedNumber trunk_state = ACP::TrunkState::unknown;
  TimerSpec<PstnSlot>::SpecTimer<TUpdatespec> update_timer;
  Protocol_name_str name_{"PSTN"};
};

class PstnFactory : public SlotFactory {
public:
  static PstnFactory& instance();

  const char* GetName() const override { return "PSTN"; }
  // pstn only.
  Slot* INewSlot(const LGCP::CreateParams& params) override;
  // An E1 trunk's status reaches every slot; a BRI line's, none.
  void SelfSignal(const LGCP::Signal& sig) override;

private:
  PstnFactory() = default;
};
