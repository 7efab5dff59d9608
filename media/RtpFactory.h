#pragma once
// The factory of RTP slots: it takes the controller's `rtp` creates without
// a radio part, checks the codec, opens the RTCP socket, begins the engine
// session and adds its channel, and reports the voice driver's RTP channel
// counts per codec type in the resources. The radio slot factories build
// their sessions with the same steps, under their own log prefix.

#include <cstdint>
#include <iosfwd>
#include <random>

#include "asn1/modules/LGCP.h"
#include "asn1/modules/TERM.h"
#include "foundation/os/Fd.h"
#include "media/RtpSession.h"
#include "server/slot/SlotFactory.h"

class RtpSlot;

class RtpFactory : public SlotFactory {
public:
  static RtpFactory& instance();
  ~RtpFactory() override = default;

  const char* GetName() const override { return "RTP"; }
  Slot* INewSlot(const LGCP::CreateParams& params) override;
  void Query(LGCP::Resources& resources) override;

  // The RTP payload type of a codec (RFC 3551); 0 for what has none of its own.
  static int translateCodec(TERM::Payload::NamedNumber payload);
  // One direction's payload type: the override when it differs from the
  // session's payload and is G.711 A-law or u-law, else the session's payload.
  static int translateCodec(TERM::Payload::NamedNumber payload, TERM::Payload::NamedNumber override);
  // The codecs an RTP slot carries.
  static bool knownPayload(TERM::Payload::NamedNumber payload);

  // Refreshes the channel counters from the voice driver.
  void IQuery();
  // "rtp[g723,g729,g711,universal]: ", with the name of the factory's slots in front.
  void PutHeader(std::ostream& out) const;

protected:
  // `slotName` opens the log prefix.
  explicit RtpFactory(const char* slotName);
  // The session record of a create; false (logged) when the create cannot be carried.
  bool SessionParams(const LGCP::CreateRtpParams& request, rtp_connection_params& params);
  // The RTCP socket bound to any local address at `port`; empty (logged) on failure.
  Fd RtcpSocket(uint16_t port);
  // A "/dev/rtp" session begun with its channel added (`info` as given,
  // its channel as answered); empty (logged) on failure.
  Fd BeginSession(const rtp_connection_params& params, rtp_channel_info& info);
  // RTCP to the far end's port + 1, then the echo setting of the create.
  static void StartRtcpAndEcho(RtpSlot& slot, Fd& rtcp, const rtp_connection_params& params,
                               const TERM::RtpParams& rtp);

private:
  const char* slotName;

  int rtp_g729 = 0;
  int rtp_g723 = 0;
  int rtp_g711 = 0;
  int rtp_g711mcc = 0;
  int universal = 0;
  // SSRCs the controller leaves to the gateway; seeded once.
  std::mt19937 ssrcSource;
};
