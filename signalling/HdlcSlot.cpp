#include "signalling/HdlcSlot.h"

#include <iostream>
#include <new>

#include "foundation/config/TraceCtl.h"
#include "foundation/os/Ext.h"

namespace {

// Octet 2 of a frame: the sender's sequence in bits 7-5, the last one it
// received in bits 2-0.
constexpr uint8_t SeqMask = 0xE0;
constexpr unsigned SeqShift = 5;
constexpr unsigned HeaderSize = 3;
// In the body's second octet: more frames follow.
constexpr uint8_t MoreFollows = 0x80;

}  // namespace

const TimerSpec<HdlcSlot>::Spec HdlcSlot::TUpdatespec = {&HdlcSlot::OnUpdateTimer, 3000};

HdlcSlot::HdlcSlot(const LGCP::HdlcParams& params)
    : hdlc(new HDLC),
      packages(response.select_hdlcPackages()),
      trunk(params.get_trunk().getValue() - 1),
      address(uint16_t(params.get_address().getValue())) {
  hdlc->notify = this;
  hdlc->trunk_no = uint32_t(params.get_trunk().getValue());
  if (traces.signalling_hdlc) {
    std::clog << ext::header(this) << "trunk=" << params.get_trunk().getValue() << ", address=" << address << std::endl;
  }
  update_timer.set(this);
}

HdlcSlot::~HdlcSlot() { hdlc.reset(); }

void HdlcSlot::PutHeader(std::ostream& out) const {
  out << "HdlcSlot[" << trunk << "/*]"
      << ": ";
}

bool HdlcSlot::IActivate(const TERM::TermActivateParams&) {
  if (traces.signalling_hdlc) std::clog << ext::header(this) << "IActivate" << std::endl;
  activate();
  return true;
}

bool HdlcSlot::IDeactivate() {
  OnUpdateTimer();
  return true;
}

void HdlcSlot::activate() {
  if (traces.signalling_hdlc) {
    std::clog << ext::header(this) << "Try to activate HDCL, params.tdm = " << hdlc->params.tdm << std::endl;
  }
  if (!hdlc->activate()) {
    OnDeactivated();
  } else if (traces.signalling_hdlc) {
    std::clog << ext::header(this) << "HDLC activated successfully" << std::endl;
  }
}

void HdlcSlot::connectTo(int tdm, const char* hook) {
  hdlc->params.tdm = tdm;
  hdlc->params.mode = 1;
  if (traces.signalling_hdlc) std::clog << ext::header(this) << hook << std::endl;
  if (tdm != -1) activate();
}

bool HdlcSlot::IHwConnectReceiver(Slot& peer) {
  connectTo(peer.IGetTransmitChannel(), "IHwConnectReceiver");
  return true;
}

bool HdlcSlot::IHwConnectTransmitter(Slot& peer) {
  connectTo(peer.IGetReceiveChannel(), "IHwConnectTransmitter");
  return true;
}

bool HdlcSlot::IHwDisconnectTransmitter(Slot& peer) {
  if (traces.signalling_hdlc) std::clog << ext::header(this) << "IHwDisconnectTransmitter" << std::endl;
  Slot::IHwDisconnectTransmitter(peer);
  hdlc->deactivate();
  return true;
}

bool HdlcSlot::IHwDisconnectReceiver(Slot& peer) {
  if (traces.signalling_hdlc) std::clog << ext::header(this) << "IHwDisconnectReceiver" << std::endl;
  Slot::IHwDisconnectReceiver(peer);
  hdlc->deactivate();
  return true;
}

bool HdlcSlot::Ioctl(const LGCP::IoctlParams& params) {
  if (params.currentSelection() != LGCP::IoctlParams::e_hdlcPackages) return false;
  for (const LGCP::HdlcPackage& package : params.get_hdlcPackages()) enqueue(package.get_body());
  if (!tx_queue.empty() && hdlc->is_ready()) on_hdlc_ready();
  return true;
}

bool HdlcSlot::enqueue(const std::string& body) {
  const uint8_t seq = uint8_t((tx_seq++ << SeqShift) & SeqMask) | rx_seq;
  if (body.size() > packet_max_size - HeaderSize) {
    std::cerr << ext::header(this) << "package of " << body.size() << " octets dropped: longer than a frame"
              << std::endl;
    ++hdlc->txOverflow;
    return false;
  }
  Packet frame;
  try {
    frame.reserve_head(0);
  } catch (const std::bad_alloc&) {
    std::cerr << ext::header(this) << "no packet buffer, package dropped" << std::endl;
    ++hdlc->txOverflow;
    return false;
  }
  frame.put16_b(address);
  frame.put(seq);
  if (!body.empty()) frame.put(body.data(), unsigned(body.size()));
  if (traces.signalling_hdlc) {
    std::clog << ext::header(this) << "enqueue package: " << std::endl;
    std::clog << ext::header(this) << frame.text() << std::endl;
  }
  if (tx_queue.put(frame)) return true;
  ++hdlc->txOverflow;
  return false;
}

void HdlcSlot::on_hdlc_ready() {
  Packet frame;
  while (tx_queue.preview(&frame)) {
    if (!hdlc->hdlc_transmit(frame)) return;
    tx_queue.get(frame);
    if (traces.signalling_hdlc) {
      std::clog << ext::header(this) << "on_hdlc_ready" << std::endl;
      std::clog << ext::header(this) << frame.text() << std::endl;
    }
  }
}

void HdlcSlot::on_hdlc_receive(Packet& frame) {
  if (traces.signalling_hdlc) {
    std::clog << ext::header(this) << "on_hdlc_receive" << std::endl;
    std::clog << ext::header(this) << frame.text() << std::endl;
  }
  if (frame.length() < HeaderSize) return;
  const uint8_t* octets = frame.data();
  const unsigned length = frame.length();
  if (uint16_t(octets[0] << 8 | octets[1]) == address) {
    rx_seq = uint8_t(octets[2] >> SeqShift);
    LGCP::HdlcPackage package;
    package.get_body().setValue(reinterpret_cast<const char*>(octets + HeaderSize), length - HeaderSize);
    packages.push_back(package);
  }
  // A body shorter than two octets has no more-follows bit: flush now.
  if (length > HeaderSize + 1 && (octets[HeaderSize + 1] & MoreFollows)) {
    if (!flush_timer) flush_timer.set(FlushDelay, &HdlcSlot::OnFlushTimer, this);
    return;
  }
  flush_timer.reset();
  flush();
}

void HdlcSlot::OnFlushTimer() { flush(); }

void HdlcSlot::flush() {
  if (traces.signalling_hdlc) std::clog << ext::header(this) << "flushResponce: " << packages.size() << std::endl;
  if (!packages.empty()) OnIoctlResponse(response);
  packages.clear();
}

void HdlcSlot::on_hdlc_error(HDLC::Notify::Cause::Type) {
  std::clog << ext::header(this) << "on_hdlc_error" << std::endl;
}

void HdlcSlot::OnUpdateTimer() {
  update_timer.set(this);
  LGCP::IoctlResponse statistics;
  LGCP::HdlcLinkInfo& info = statistics.select_hdlcLinkInfo();
  info.set_txSU(int(hdlc->txSU));
  info.set_txDiscard(int(hdlc->txDiscard));
  info.set_txError(int(hdlc->txError));
  info.set_txOverflow(int(hdlc->txOverflow));
  info.set_rxSU(int(hdlc->rxSU));
  OnIoctlResponse(statistics);
}

HdlcSlotFactory& HdlcSlotFactory::instance() {
  static HdlcSlotFactory factory;
  return factory;
}

Slot* HdlcSlotFactory::INewSlot(const LGCP::CreateParams& params) {
  if (traces.signalling_hdlc) std::clog << "\n\nHdlcSlotFactory.INewSlot\n\n" << std::endl;
  if (params.currentSelection() != LGCP::CreateParams::e_hdlcParams) return nullptr;
  return new HdlcSlot(params.get_hdlcParams());
}
