#include "radio/RtpExtFactory.h"

#include <unistd.h>

#include <iostream>

#include "board/dev/RtpExt.h"
#include "foundation/os/Ext.h"

namespace {

using namespace RTPSignalling;
namespace Ext = Board::Dev::RtpExt;

// The ED-137 extension: mode 1, RTP payload type 123, and its keep-alive
// period in packets of `factor` 10 ms frames (2 when the create gives none).
rtp_ext_init_params ed137Init(const ED137RadioParams& radio, uint32_t factor) {
  rtp_ext_init_params init;
  init.etype = Ext::Ed137;
  init.mode = 1;
  init.pt = 123;
  init.interval_pkts = radio.keepalivePeriod / ((factor ? factor : 2) * 10);
  init.sigtime = 1;
  if (radio.sigtime != 0) {
    init.interval_pkts *= radio.sigtime;
    init.sigtime = radio.sigtime;
  }
  return init;
}

}  // namespace

const TERM::RtpRadioRequest* RtpExtFactory::RadioRequest(const LGCP::CreateParams& create, int kind) {
  if (create.currentSelection() != LGCP::CreateParams::e_rtp) return nullptr;
  const TERM::RtpParams& rtp = create.get_rtp().get_codecRTP();
  if (!rtp.hasOptionalField(TERM::RtpParams::o_radio)) return nullptr;
  return rtp.get_radio().get_status().currentSelection() == kind ? &rtp.get_radio() : nullptr;
}

bool RtpExtFactory::Open(const LGCP::CreateRtpParams& request, const TERM::RtpRadioRequest& radio, Session& s) {
  if (!SessionParams(request, s.params)) return false;
  s.rtcp = RtcpSocket(uint16_t(s.params.src_port + 1));
  if (!s.rtcp) return false;
  rtp_channel_info info;
  info.spare = radio.hasOptionalField(TERM::RtpRadioRequest::o_bss_enable) && radio.get_bss_enable().getValue();
  s.rtp = BeginSession(s.params, info);
  s.channel = info.tdm;
  return bool(s.rtp);
}

Slot* RtpExtFactory::Start(RtpExtSlot* slot, Session& s, const TERM::RtpParams& rtp,
                           const TERM::RtpRadioRequest& radio) {
  StartRtcpAndEcho(*slot, s.rtcp, s.params, rtp);
  slot->ConfigureRadio(radio);
  return slot;
}

RtpLEMZFactory& RtpLEMZFactory::instance() {
  static RtpLEMZFactory factory;
  return factory;
}

Slot* RtpLEMZFactory::INewSlot(const LGCP::CreateParams& create) {
  const TERM::RtpRadioRequest* radio = RadioRequest(create, TERM::RadioStatus::e_lemz);
  if (!radio) return nullptr;
  const TERM::RtpParams& rtp = create.get_rtp().get_codecRTP();
  std::clog << ext::header(this) << "do create rtp ext LEMZ: " << rtp.asValueNotation() << std::endl;
  Session s;
  if (!Open(create.get_rtp(), *radio, s)) return nullptr;

  const bool e2m = rtp.hasOptionalField(TERM::RtpParams::o_rtp_e2m);
  const bool moded = e2m && rtp.get_rtp_e2m().hasOptionalField(TERM::RtpE2M::o_mode);
  const int mode = moded ? rtp.get_rtp_e2m().get_mode().currentSelection() : TERM::RtpExtMode::e_both_rtp_and_rtp_ext;
  if (mode == TERM::RtpExtMode::e_both_rtp_and_rtp_ext) {
    rtp_ext_init_params init;
    init.etype = Ext::Lemz;
    // Our own session; the slot names the descriptor it keeps of it.
    const rtp_ext_attach_session_params attach{-1, ::getpid()};
    return Start(new RtpLEMZRadioGWSlot(s.channel, s.rtp, s.params, attach, init, true), s, rtp, *radio);
  }
  if (mode == TERM::RtpExtMode::e_only_rtp) {
    const TERM::RtpExtDescription& other = rtp.get_rtp_e2m().get_mode().get_only_rtp();
    const rtp_attach_session_params attach{other.get_fd().getValue(), other.get_pid().getValue()};
    return Start(new RtpLEMZRadioGWSlot(s.channel, s.rtp, s.params, attach), s, rtp, *radio);
  }
  return nullptr;
}

RtpED137Factory& RtpED137Factory::instance() {
  static RtpED137Factory factory;
  return factory;
}

Slot* RtpED137Factory::INewSlot(const LGCP::CreateParams& create) {
  const TERM::RtpRadioRequest* radio = RadioRequest(create, TERM::RadioStatus::e_ed_137);
  if (!radio) return nullptr;
  const TERM::RtpParams& rtp = create.get_rtp().get_codecRTP();
  std::clog << ext::header(this) << "do create rtp ext ED137: " << rtp.asValueNotation() << std::endl;
  Session s;
  if (!Open(create.get_rtp(), *radio, s)) return nullptr;

  ED137RadioParams params;
  const TERM::ED137RadioStatus& status = radio->get_status().get_ed_137();
  if (status.hasOptionalField(TERM::ED137RadioStatus::o_radio_response)) params.Init(status.get_radio_response());
  // The slot names the descriptor it keeps of the session.
  const rtp_ext_attach_session_params attach{-1, -1};
  return Start(
      new RtpED137RadioGWSlot(s.channel, s.rtp, s.params, attach, ed137Init(params, s.params.packet_factor), params), s,
      rtp, *radio);
}
