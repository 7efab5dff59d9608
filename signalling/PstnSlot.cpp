#include "signalling/PstnSlot.h"

#include <iostream>
#include <new>

#include "foundation/os/Ext.h"
#include "signalling/isdn/LapdNt.h"
#include "signalling/ss7/LinkInfo.h"
#include "signalling/ss7/SLC.h"

namespace {

constexpr unsigned Trunks = 4;
constexpr unsigned Timeslots = 32;
// The channel mode of a BRI D channel, either side.
constexpr int32_t BriMode = 2;

}  // namespace

const TimerSpec<PstnSlot>::Spec PstnSlot::TUpdatespec = {&PstnSlot::OnUpdateTimer, 3000};

PstnSlot::PstnSlot(const LGCP::PstnParams& params) : hdlc(new HDLC) {
  hdlc->notify = this;
  switch (params.currentSelection()) {
    case LGCP::PstnParams::e_ss7: buildSs7(params.get_ss7()); break;
    case LGCP::PstnParams::e_isdn: buildIsdn(params.get_isdn()); break;
    default:
      // cas: the bare channel; its parameters say nothing more.
      break;
  }
  update_timer.set(this);
}

void PstnSlot::buildSs7(const LGCP::SS7Params& params) {
  slc = new SS7::SLC;
  slc->params.trunk = uint32_t(params.get_trunk().getValue());
  slc->params.slc = uint32_t(params.get_slc().getValue());
  slc->params.dpc = uint32_t(params.get_dpc().getValue());
  slc->params.opc = uint32_t(params.get_opc().getValue());
  slc->params.emergency = params.get_emergency().getValue();
  slc->set_channel(hdlc.get());
  lower = slc;
  add_protocol_tail(slc);
  hdlc->trunk_no = uint32_t(params.get_trunk().getValue());
  trunk = params.get_trunk().getValue() - 1;
  kind_ = ss7OrCas;
}

void PstnSlot::buildIsdn(const LGCP::IsdnParams& params) {
  const unsigned log = unsigned(params.get_log().getValue());
  const bool network = params.get_side().currentSelection() == LGCP::IsdnSide::e_network;
  const bool bri = params.get_type().get() == LGCP::IsdnType::bri;
  if (bri && network) {
    lapd_nt = new ISDN::LAPD_NT;
    lapd_nt->set_log(log);
    // The network side reads and writes the channel like the other link layers.
    lapd_nt->hdlc = hdlc.get();
    lower = lapd_nt;
    add_protocol_tail(lapd_nt);
    kind_ = isdnBriNetwork;
    return;
  }
  lapd = new ISDN::LAPD(network ? ISDN::Side::network : ISDN::Side::user, log);
  lapd->trunk = uint32_t(params.get_trunk().getValue());
  lapd->hdlc = hdlc.get();
  lapd->notify = this;
  lower = lapd;
  hdlc->trunk_no = uint32_t(params.get_trunk().getValue());
  trunk = params.get_trunk().getValue() - 1;
  if (bri) {
    lapd->change_to_bri();
    kind_ = isdnBriUser;
  } else {
    kind_ = isdnPrimary;
  }
  add_protocol_tail(lapd);
}

PstnSlot::~PstnSlot() {
  hdlc.reset();
  // Each leaves the family's list as it goes.
  delete slc;
  delete lapd;
  delete lapd_nt;
}

void PstnSlot::PutHeader(std::ostream& out) const { out << "pstn-slot " << static_cast<const Slot&>(*this) << ": "; }

void PstnSlot::OnTrunkStatus(unsigned number, const ACP::TrunkState& state) {
  if (!slc || trunk < 0 || number != unsigned(trunk) || state.get() == trunk_state) return;
  slc->OnTrunkHardStatus(state.get() == ACP::TrunkState::normal);
  trunk_state = state.get();
}

bool PstnSlot::IActivate(const TERM::TermActivateParams&) {
  start();
  return true;
}

bool PstnSlot::IDeactivate() {
  ProtocolsFamily::deactivate();
  return true;
}

void PstnSlot::start() {
  if (!hdlc->activate()) {
    OnDeactivated();
    return;
  }
  ProtocolsFamily::activate();
}

bool PstnSlot::IHwConnectReceiver(Slot& peer) {
  if (kind_ == ss7OrCas || kind_ == isdnPrimary) {
    const unsigned t = unsigned(peer.GetTrunk());
    const unsigned timeslot = unsigned(peer.GetTrunkTimeSlot());
    if (t >= Trunks) {
      std::cerr << "pstn-slot: invalid trunk number: " << t << std::endl;
      return false;
    }
    if (timeslot >= Timeslots) {
      std::cerr << "pstn-slot: invalid timeslot: " << timeslot << std::endl;
      return false;
    }
    hdlc->params.trunk = int32_t(t);
    hdlc->params.timeslot = int32_t(timeslot);
  }
  hdlc->params.mode = bri() ? BriMode : int32_t(kind_);
  hdlc->params.tdm = peer.IGetTransmitChannel();
  // A BRI D channel transmits on a switch channel of its own: wait for it.
  if (bri() && hdlc->params.tdm_tx == -1) return true;
  start();
  return true;
}

bool PstnSlot::IHwConnectTransmitter(Slot& peer) {
  if (!bri()) return true;
  hdlc->params.tdm_tx = peer.IGetReceiveChannel();
  if (hdlc->params.tdm != -1) start();
  return true;
}

bool PstnSlot::IHwDisconnectReceiver(Slot& peer) {
  ProtocolsFamily::deactivate();
  Slot::IHwDisconnectReceiver(peer);
  return true;
}

bool PstnSlot::IHwDisconnectTransmitter(Slot& peer) {
  if (bri()) ProtocolsFamily::deactivate();
  Slot::IHwDisconnectTransmitter(peer);
  return true;
}

void PstnSlot::on_hdlc_receive(Packet& frame) {
  if (lower) lower->on_hdlc_receive(frame);
}

void PstnSlot::on_hdlc_error(HDLC::Notify::Cause::Type cause) {
  if (lower) lower->on_hdlc_error(cause);
}

void PstnSlot::on_hdlc_ready() {
  if (lower) lower->on_hdlc_ready();
}

bool PstnSlot::IUserData(const std::vector<char>& data) {
  if (!top()) return true;
  if (slc && !slc->accepts(unsigned(data.size()))) return false;
  Packet message;
  try {
    prepare_head(message);
  } catch (const std::bad_alloc&) {
    poolEmpty();
    return true;
  }
  // A controller's message (65531 octets at most in its frame) always fits behind the link's header.
  if (!data.empty()) message.put(data.data(), unsigned(data.size()));
  ProtocolsFamily::message(message);
  return true;
}

void PstnSlot::poolEmpty() {
  if (slc) return slc->pool_empty("msu from the controller");
  if (lapd) ++lapd->stats.out_overflows;
  if (lapd_nt) ++lapd_nt->overflows;
  std::cerr << ext::header(this) << "packet pool empty: message from the controller dropped" << std::endl;
}

void PstnSlot::on_message(Packet& message) {
  const char* octets = reinterpret_cast<const char*>(message.data());
  OnUserData(std::vector<char>(octets, octets + message.length()));
}

void PstnSlot::on_activated(Protocol*) {
  sendIsdnInfo();
  sendSs7Info();
  OnActivated();
}

void PstnSlot::on_deactivated(Protocol*, Protocol_status) {
  sendIsdnInfo();
  sendSs7Info();
  OnUpdateTimer();
  OnDeactivated();
}

void PstnSlot::OnUpdateTimer() {
  update_timer.set(this);
  sendHdlcInfo();
  sendIsdnInfo();
  sendSs7Info();
}

void PstnSlot::sendHdlcInfo() {
  LGCP::IoctlResponse response;
  LGCP::HdlcLinkInfo& info = response.select_hdlcLinkInfo();
  info.set_txSU(int(hdlc->txSU));
  info.set_txDiscard(int(hdlc->txDiscard));
  info.set_txError(int(hdlc->txError));
  info.set_txOverflow(int(hdlc->txOverflow));
  info.set_rxSU(int(hdlc->rxSU));
  OnIoctlResponse(response);
}

void PstnSlot::sendIsdnInfo() {
  if (!lapd) return;
  LGCP::IoctlResponse response;
  if (lapd->GetInfo(response.select_isdnLinkInfo())) OnIoctlResponse(response);
}

void PstnSlot::sendSs7Info() {
  if (!slc) return;
  LGCP::IoctlResponse response;
  SS7::fill(response.select_ss7LinkInfo(), *slc);
  OnIoctlResponse(response);
}

void PstnSlot::OnLAPD_FlowStatusChange(ISDN::LAPD* link) {
  LGCP::IoctlResponse response;
  response.select_isdnLinkStatus().setValue(link->flow_status == ISDN::LAPD::FlowStatus::busy
                                                ? LGCP::IsdnLinkStatus::congested
                                                : LGCP::IsdnLinkStatus::normal);
  OnIoctlResponse(response);
}

bool PstnSlot::Ioctl(const LGCP::IoctlParams& params) {
  if (!slc) return false;
  switch (params.currentSelection()) {
    case LGCP::IoctlParams::e_ss7RqBSN: {
      LGCP::IoctlResponse response;
      response.select_ss7BSN().setValue(int(slc->last_accepted_fsn()));
      OnIoctlResponse(response);
      return true;
    }
    case LGCP::IoctlParams::e_ss7Log: SS7::apply(params.get_ss7Log(), *slc); return true;
    default: return false;
  }
}

PstnFactory& PstnFactory::instance() {
  static PstnFactory factory;
  return factory;
}

Slot* PstnFactory::INewSlot(const LGCP::CreateParams& params) {
  if (params.currentSelection() != LGCP::CreateParams::e_pstn) return nullptr;
  return new PstnSlot(params.get_pstn());
}

void PstnFactory::SelfSignal(const LGCP::Signal& sig) {
  if (sig.currentSelection() != LGCP::Signal::e_trunkStatus) return;
  const ACP::TrunkStatus& status = sig.get_trunkStatus();
  // BRI lines are numbered like E1 trunks, but no SS7 link runs under one.
  if (status.get_type().getValue() != ACP::TrunkType::e1 || status.get_trunk().getValue() < 0) return;
  for (Slot* slot : GetSlots()) slot->OnTrunkStatus(unsigned(status.get_trunk().getValue()), status.get_state());
}
