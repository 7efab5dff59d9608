#pragma once
// The factories of the radio gateway slots. They take the controller's `rtp`
// creates whose radio request is of their kind (LEMZ or ED-137); the plain
// RTP factory, older in the chain, takes those without one. The RTP session
// is built as the RTP factory builds it; the slot then gets its radio
// controller with the extension session the kind needs.

#include "asn1/modules/LGCP.h"
#include "media/RtpFactory.h"
#include "radio/RtpExtSlot.h"

// What the two factories share: the session steps and the radio settings after.
class RtpExtFactory : public RtpFactory {
protected:
  using RtpFactory::RtpFactory;

  struct Session {
    rtp_connection_params params;
    Fd rtcp;
    Fd rtp;
    int channel = -1;
  };

  // The radio request of an `rtp` create whose status is of `kind`, else null.
  static const TERM::RtpRadioRequest* RadioRequest(const LGCP::CreateParams& create, int kind);
  // The session record, the RTCP socket and the engine session with its
  // channel (BSS as the radio request asks); false, logged, on failure.
  bool Open(const LGCP::CreateRtpParams& request, const TERM::RtpRadioRequest& radio, Session& session);
  // RTCP, echo and the radio settings of the create.
  static Slot* Start(RtpExtSlot* slot, Session& session, const TERM::RtpParams& rtp,
                     const TERM::RtpRadioRequest& radio);
};

class RtpLEMZFactory : public RtpExtFactory {
public:
  static RtpLEMZFactory& instance();
  const char* GetName() const override { return "RTP Ext LEMZ"; }
  Slot* INewSlot(const LGCP::CreateParams& params) override;

private:
  RtpLEMZFactory() : RtpExtFactory("rtp ext LEMZ") {}
};

class RtpED137Factory : public RtpExtFactory {
public:
  static RtpED137Factory& instance();
  const char* GetName() const override { return "RTP Ext ED137"; }
  Slot* INewSlot(const LGCP::CreateParams& params) override;

private:
  RtpED137Factory() : RtpExtFactory("rtp ext ED137") {}
};
