#pragma once
// The radio gateway slots: RTP slots whose packets also carry radio
// signalling in the RTP header extension, each owning one radio controller.
// The slot hands the controller program's radio requests to its controller,
// lets the radio squelch switch the RTP input where the session asks for it,
// and turns the controller's reports into rtpExt and abort signals.

#include <memory>

#include "media/RtpSlot.h"
#include "radio/ED137RadioState.h"
#include "radio/RadioControl.h"

class RtpExtSlot : public RtpSlot, public RTPSignalling::IRadioControlNotify {
public:
  RtpExtSlot(int channel, const Fd& rtp, const rtp_connection_params& params);

  // Sends the radio status of the create to the controller; where the squelch
  // drives the input, it switches it from the first request on, not here.
  void IAfterCreate() override;
  // Detaches the extension session before the RTP session goes.
  bool IBeforeDestroy() override;
  // rtpExt goes to the controller; a codec change restarts the extension around the session's restart.
  bool Ioctl(const LGCP::IoctlParams& params) override;
  const char* GetName() const override { return "rtp ext"; }

  void RadioControlNotify(const TERM::RtpRadioRequest& request) override { OnRtpRadioEvent(request); }
  void RadioControlNotify(int cause) override { OnAbort(cause); }

  // The radio part of the create: its status (sent after the create) and the DSP settings.
  void ConfigureRadio(const TERM::RtpRadioRequest& radio);

protected:
  // Where the squelch drives the input, switches it as the controller's squelch says.
  void FollowSquelch();
  // `attach` naming the session descriptor this slot keeps: the one the
  // factory began the session on is closed once the create returns.
  RTPSignalling::rtp_ext_attach_session_params OwnSession(RTPSignalling::rtp_ext_attach_session_params attach) const;

  TERM::RadioStatus radioStatus;
  std::unique_ptr<RTPSignalling::RadioControl> controller;
};

class RtpLEMZSlot : public RtpExtSlot {
public:
  using RtpExtSlot::RtpExtSlot;
  const char* GetName() const override { return "rtp ext LEMZ"; }
};

class RtpLEMZRadioGWSlot : public RtpLEMZSlot {
public:
  // With an extension session of its own, attached to this slot's RTP session
  // in the process `attach` names; `timer` runs the re-send of the radio state.
  RtpLEMZRadioGWSlot(int channel, Fd rtp, const rtp_connection_params& params,
                     const RTPSignalling::rtp_ext_attach_session_params& attach,
                     const RTPSignalling::rtp_ext_init_params& init, bool timer);
  // Its RTP session attached to another process's session, which carries the extension.
  RtpLEMZRadioGWSlot(int channel, Fd rtp, const rtp_connection_params& params,
                     const RTPSignalling::rtp_attach_session_params& attach);
  const char* GetName() const override { return "rtp ext LEMZ (GW)"; }
};

class RtpED137Slot : public RtpExtSlot {
public:
  using RtpExtSlot::RtpExtSlot;
  const char* GetName() const override { return "rtp ext ed137"; }
};

class RtpED137RadioGWSlot : public RtpED137Slot {
public:
  // The extension session is attached to this slot's RTP session in the process `attach` names.
  RtpED137RadioGWSlot(int channel, Fd rtp, const rtp_connection_params& params,
                      const RTPSignalling::rtp_ext_attach_session_params& attach,
                      const RTPSignalling::rtp_ext_init_params& init, const RTPSignalling::ED137RadioParams& radio);
  // The controller reports nothing more while it goes.
  ~RtpED137RadioGWSlot() override;
  const char* GetName() const override { return "rtp ext ED137 (GW)"; }
};
