#include "server/slot/Slot.h"

#include <algorithm>
#include <cstdio>
#include <iomanip>
#include <iostream>

#include "asn1/modules/LGCP.h"
#include "server/slot/SlotFactory.h"
#include "server/slot/Slots.h"

namespace {

constexpr unsigned BssScoreBuffer = 31;

// A signal of the alternative `select` picks, set to the value when one is given.
template <class Alternative, class... Value>
LGCP::Signal signalOf(Alternative& (LGCP::Signal::*select)(), const Value&... value) {
  LGCP::Signal sig;
  Alternative& alternative = (sig.*select)();
  ((alternative = value), ...);
  return sig;
}

}  // namespace

bool Slot::IHwConnectTransmitter(Slot& receiver) { return MuxConnect(*this, receiver); }

bool Slot::IHwConnectReceiver(Slot& transmitter) { return MuxConnect(transmitter, *this); }

bool Slot::IHwDisconnectTransmitter(Slot& receiver) { return MuxDisconnect(receiver); }

bool Slot::IHwDisconnectReceiver(Slot&) { return MuxDisconnect(*this); }

void Slot::Put(std::ostream& out) const {
  if (id == -1) {
    out << "na";
  } else if (id >= 0 && id <= int(Slots::MaxSlot)) {
    const char fill = out.fill('0');
    out << std::setw(2) << id;
    out.fill(fill);
  } else {
    out << id;
  }
  out << ':' << GetName();
}

std::ostream& operator<<(std::ostream& out, const Slot& slot) {
  slot.Put(out);
  return out;
}

void Slot::SendSignal(const LGCP::Signal& sig) { Slots::instance().SendSignal(unsigned(id), sig); }

void Slot::on_release() {
  if (!destroyInProgress) return;
  if (factory) factory->Remove(this);
  Slots::instance().on_release(this);
}

bool Slot::BeforeDestroy() {
  if (!IBeforeDestroy()) return false;
  if (factory) {
    factory->Remove(this);
  } else {
    std::cerr << "slot: internal error!!! BeforeDestroy() not connected to factory" << std::endl;
  }
  return true;
}

void Slot::LogicalConnect(Slot& src) {
  source = &src;
  src.listeners.push_back(this);
  std::sort(src.listeners.begin(), src.listeners.end(), std::less<Slot*>());
  src.listeners.erase(std::unique(src.listeners.begin(), src.listeners.end()), src.listeners.end());
}

void Slot::LogicalDisconnect() {
  if (!source) return;
  auto& l = source->listeners;
  l.erase(std::remove(l.begin(), l.end(), this), l.end());
  source = nullptr;
}

void Slot::OnChangeInputStream(bool on) {
  if (inputActive == on) return;
  LGCP::Signal sig;
  if (on) {
    sig.select_receiver().select_active().setValue(IGetReceiveChannel());
  } else {
    sig.select_receiver().select_inactive();
    Disconnect(*this);
  }
  inputActive = on;
  SendSignal(sig);
}

void Slot::OnChangeOutputStream(bool on) {
  if (outputActive == on) return;
  LGCP::Signal sig;
  if (on) {
    sig.select_transmitter().select_active().setValue(IGetTransmitChannel());
  } else {
    sig.select_transmitter().select_inactive();
    for (size_t n = listeners.size(); n > 0; --n) {
      if (listeners.empty()) {
        std::cerr << "mux: internal error: expected slots not exists." << std::endl;
        break;
      }
      Disconnect(*listeners.front());
    }
  }
  outputActive = on;
  SendSignal(sig);
}

void Slot::OnTonecEvent(const LGCP::TonecEvent& event) { SendSignal(signalOf(&LGCP::Signal::select_tonec, event)); }

void Slot::OnNumber(const std::string& number) { SendSignal(signalOf(&LGCP::Signal::select_number, number)); }

void Slot::OnModem(const TERM::ModemProceeding& proceeding) {
  SendSignal(signalOf(&LGCP::Signal::select_modemProceeding, proceeding));
}

void Slot::OnModem(const TERM::ModemInformation& information) {
  SendSignal(signalOf(&LGCP::Signal::select_modemInformation, information));
}

void Slot::OnActivated() { SendSignal(signalOf(&LGCP::Signal::select_activated)); }

void Slot::OnDeactivated() {
  SendSignal(signalOf(&LGCP::Signal::select_deactivated, int(LGCP::DeactivateCause::networkError)));
}

void Slot::OnAbort(int cause) { SendSignal(signalOf(&LGCP::Signal::select_abort, cause)); }

void Slot::OnUserData(const std::vector<char>& data) { SendSignal(signalOf(&LGCP::Signal::select_userData, data)); }

void Slot::OnIoctlResponse(const LGCP::IoctlResponse& response) {
  SendSignal(signalOf(&LGCP::Signal::select_ioctl, response));
}

void Slot::OnRtpRadioEvent(const TERM::RtpRadioRequest& request) {
  SendSignal(signalOf(&LGCP::Signal::select_rtpExt, request));
}

void Slot::OnVADEvent(const LGCP::VADEvent& event) { SendSignal(signalOf(&LGCP::Signal::select_vad, event)); }

void Slot::OnProtoLemzEvent(const LEMZGW::ProtoLemzPackets& packets) {
  SendSignal(signalOf(&LGCP::Signal::select_protoLemz, packets));
}

void Slot::OnSDEvent(const LGCP::SDEvent& event) { SendSignal(signalOf(&LGCP::Signal::select_sd, event)); }

void Slot::OnRtpEvent(const LGCP::RtpEvent& event) { SendSignal(signalOf(&LGCP::Signal::select_rtp, event)); }

void Slot::processTonecEvent(const Board::Dev::Dtmf::EventReport& event) {
  static constexpr uint32_t Ced = 17, Cng = 18, FirstIva = 128, IvaRingOff = 21, LastIvaCode = 20;
  LGCP::TonecEvent msg;
  msg.set_timestamp(int(event.timestamp));
  LGCP::TonecCode& code = msg.get_event();
  if (event.code == Ced) {
    code.select_ced();
  } else if (event.code == Cng) {
    code.select_cng();
  } else if (event.code >= FirstIva) {
    const uint32_t n = event.code >> 8;
    if (n >= 1 && n <= LastIvaCode) {
      code.select_iva().select_code().setValue(n);
    } else if (n == IvaRingOff) {
      code.select_iva().select_ringoff();
    } else {
      std::cerr << "bad DTMF code, ignored." << std::endl;
      return;
    }
  } else {
    code.select_dtmf().setValue(event.code);
  }
  OnTonecEvent(msg);
}

void Slot::processToneGenEvent() {
  LGCP::TonecEvent msg;
  msg.set_timestamp(0);
  msg.get_event().select_dtmfDone();
  OnTonecEvent(msg);
}

void Slot::processToneFltEvent(const Board::Dev::Dsp::ToneReport* event) {
  LGCP::TonecEvent msg;
  msg.set_timestamp(0);
  LGCP::TonePresence& tone = msg.get_event().select_tone_presence();
  tone.set_freq(int(event->frequency));
  tone.set_presence(event->presence != 0);
  OnTonecEvent(msg);
}

void Slot::processVADEvent(const Board::Dev::Dsp::VadReport& event) {
  if (event.rx < 0 && event.tx < 0) {
    std::cerr << "bad VAD event, ignored." << std::endl;
    return;
  }
  LGCP::VADEvent msg;
  if (event.rx >= 0) msg.set_vad_rx(event.rx != 0);
  if (event.tx >= 0) msg.set_vad_tx(event.tx != 0);
  OnVADEvent(msg);
}

void Slot::processSDEvent(const Board::Dev::Dsp::SdReport& event) {
  if (event.value < 0) {
    std::cerr << "bad SD event, ignored." << std::endl;
    return;
  }
  LGCP::SDEvent msg;
  msg.set_sd_rx(event.value != 0);
  OnSDEvent(msg);
}

void Slot::processFlagsEvent(const Board::Dev::Dsp::FlagsReport* event) {
  using F = Board::Dev::Dsp::FlagsReport;
  if (event->mask & (F::VadRx | F::VadTx)) {
    LGCP::VADEvent vad;
    if (event->mask & F::VadRx) vad.set_vad_rx((event->flags & F::VadRx) != 0);
    if (event->mask & F::VadTx) vad.set_vad_tx((event->flags & F::VadTx) != 0);
    OnVADEvent(vad);
  }
  if (event->mask & F::SelcalInProgress) {
    LGCP::Signal sig;
    sig.select_selcal().set_in_progress((event->flags & F::SelcalInProgress) != 0);
    SendSignal(sig);
  }
}

void Slot::processBSSEvent(const Board::Dev::Dsp::BssReport* event) {
  char score[BssScoreBuffer];
  std::snprintf(score, sizeof score, "%4.6f", double(event->score));
  LGCP::Signal sig;
  sig.select_bss().set_score(score);
  SendSignal(sig);
}

void Slot::processRtpEvent(const Board::Dev::Rtp::EventReport& event) {
  if (event.type != Board::Dev::Rtp::PacketDetector) return;
  LGCP::RtpEvent msg;
  LGCP::RtpPDEvent& pd = msg.select_pd();
  pd.set_value(event.value);
  pd.set_timeout(event.timeout);
  OnRtpEvent(msg);
}
