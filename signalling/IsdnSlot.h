#pragma once
// An ISDN D channel whose frames the slot reads and writes itself, on a
// channel of the multichannel controller ("/dev/mcc/ctl"), with Q.921 on
// top. The slot is the link layer's frame channel (GenericHDLC) and its
// owner: layer-3 messages go to and from the controller as userData, link
// state as activated and deactivated, each preceded by the link
// information when it changed. The controller switches the D channel to a
// trunk timeslot like any switch endpoint.

#include <iosfwd>
#include <vector>

#include "foundation/eventloop/Event.h"
#include "foundation/protocol/Protocol.h"
#include "server/slot/OneChannelSlot.h"
#include "signalling/Hdlc.h"
#include "signalling/isdn/Lapd.h"

class IsdnSlot : public OneChannelSlot, public ProtocolsFamily, public ISDN::LAPD::Notify, public GenericHDLC {
public:
  // `fd`: the device's descriptor, of which the slot watches a duplicate;
  // `channel`: the D channel's switch channel; `lapd`: the link layer, which
  // the family owns from here on. `eventName` names the watch in the status dump.
  IsdnSlot(const Fd& fd, int channel, ISDN::LAPD* lapd, const char* eventName = "IsdnSlot::OnEvent");
  ~IsdnSlot() override;

  bool IActivate(const TERM::TermActivateParams&) override;
  bool IDeactivate() override;
  bool IUserData(const std::vector<char>& data) override;
  bool Ioctl(const LGCP::IoctlParams&) override { return false; }
  const char* GetName() const override { return "MCC"; }

  // The frame channel of the link layer.
  bool hdlc_transmit(Packet& frame) override;
  bool is_open() const override;
  bool is_ready() const override { return ready; }

  // From the link layer.
  void on_activated(Protocol*) override;
  void on_deactivated(Protocol*, Protocol_status status) override;
  void on_message(Packet& message) override;
  void transmit(Packet&) override {}
  void OnLAPD_FlowStatusChange(ISDN::LAPD*) override {}

  void PutHeader(std::ostream& out) const;
  const ISDN::LAPD& link() const { return *lapd; }

protected:
  // The device's descriptor while the slot holds it.
  int descriptor() const { return m_event.fd().get(); }

  Event m_event;

private:
  void OnEvent(int fd, short revents);
  // One frame to the link layer; false when the descriptor failed and was closed.
  bool readFrame();
  // isdnLinkInfo, when it changed since the last one.
  void reportInfo();

  ISDN::LAPD* lapd;
  bool ready = false;
};
