#include "radio/RtpExtSlot.h"

#include "board/dev/Rtp.h"
#include "radio/ED137RadioControl.h"
#include "radio/LemzRadioControl.h"

using namespace RTPSignalling;

RtpExtSlot::RtpExtSlot(int channel, const Fd& rtp, const rtp_connection_params& params)
    : RtpSlot(channel, rtp, params) {}

void RtpExtSlot::ConfigureRadio(const TERM::RtpRadioRequest& radio) {
  using R = TERM::RtpRadioRequest;
  radioStatus = radio.get_status();
  auto present = [&radio](unsigned id) { return radio.hasOptionalField(id); };
  if (present(R::o_rx_delay) || present(R::o_tx_delay) || present(R::o_selcal_delay)) {
    const unsigned rx = present(R::o_rx_delay) ? radio.get_rx_delay().getUnsignedValue() : 0;
    const unsigned tx = present(R::o_tx_delay) ? radio.get_tx_delay().getUnsignedValue() : 0;
    const unsigned selcal = present(R::o_selcal_delay) ? radio.get_selcal_delay().getUnsignedValue() : 0;
    configureDelays(rx, tx, selcal);
  }
  if (present(R::o_bss_enable)) enableBSS(radio.get_bss_enable().getValue());
  if (present(R::o_ng_enable)) enableNG(radio.get_ng_enable().getValue());
  if (present(R::o_selcal_sh_enable)) enableSelcalSh(radio.get_selcal_sh_enable().getValue());
}

void RtpExtSlot::IAfterCreate() {
  RtpSlot::IAfterCreate();
  controller->SendASNToChan(radioStatus);
}

bool RtpExtSlot::IBeforeDestroy() {
  controller->RtpExtStop();
  return RtpSlot::IBeforeDestroy();
}

bool RtpExtSlot::Ioctl(const LGCP::IoctlParams& p) {
  using P = LGCP::IoctlParams;
  bool result;
  switch (p.currentSelection()) {
    case P::e_rtpExt: result = controller->SendASNToChan(p.get_rtpExt()); break;
    case P::e_encoder_mode:
    case P::e_decoder_mode: {
      const bool stopped = controller->RtpExtStop();
      result = RtpSlot::Ioctl(p);
      // The extension follows the session the codec change left.
      controller->FollowSession(sessionFd);
      if (stopped && result) result = controller->RtpExtStart(false);
      break;
    }
    default: result = RtpSlot::Ioctl(p);
  }
  FollowSquelch();
  return result;
}

void RtpExtSlot::FollowSquelch() {
  if (!squelchDrivenInput) return;
  const bool open = controller->GetSQU();
  if (open == inputOn) return;
  // A refused switch is not retried: the next request tries again only on a change.
  RtpEngine::plain(sessionFd.get(), open ? Board::Dev::Rtp::InputOn : Board::Dev::Rtp::InputOff);
  inputOn = open;
}

rtp_ext_attach_session_params RtpExtSlot::OwnSession(rtp_ext_attach_session_params attach) const {
  attach.fd_rtp = sessionFd.get();
  return attach;
}

RtpLEMZRadioGWSlot::RtpLEMZRadioGWSlot(int channel, Fd rtp, const rtp_connection_params& params,
                                       const rtp_ext_attach_session_params& attach, const rtp_ext_init_params& init,
                                       bool timer)
    : RtpLEMZSlot(channel, rtp, params) {
  controller = std::make_unique<LemzRadioGWControl>(channel, OwnSession(attach), init);
  controller->SetNotify(this);
  controller->SetTrace(false);
  controller->SetTimerEnable(timer);
  controller->SetWsMode(0);
}

RtpLEMZRadioGWSlot::RtpLEMZRadioGWSlot(int channel, Fd rtp, const rtp_connection_params& params,
                                       const rtp_attach_session_params& attach)
    : RtpLEMZSlot(channel, rtp, params) {
  controller = std::make_unique<LemzRadioGWControl>(channel, rtp, attach);
  controller->SetNotify(this);
  controller->SetTrace(false);
  controller->SetTimerEnable(false);
  controller->SetWsMode(0);
}

RtpED137RadioGWSlot::RtpED137RadioGWSlot(int channel, Fd rtp, const rtp_connection_params& params,
                                         const rtp_ext_attach_session_params& attach, const rtp_ext_init_params& init,
                                         const ED137RadioParams& radio)
    : RtpED137Slot(channel, rtp, params) {
  squelchDrivenInput = radio.transmissionDependOnSqu;
  auto control = std::make_unique<ED137RadioGWControl>(channel, OwnSession(attach), init);
  control->SetParams(radio);
  controller = std::move(control);
  controller->SetNotify(this);
  controller->SetTrace(false);
  controller->SetTimerInterval(radio.keepalivePeriod * radio.keepaliveMultiplier / 2);
  controller->SetTimerEnable(true);
  controller->SetWsMode(0);
}

RtpED137RadioGWSlot::~RtpED137RadioGWSlot() {
  controller->SetNotify(nullptr);
  controller->SetTimerEnable(false);
}
