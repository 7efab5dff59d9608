#pragma once
// An RTP engine session in host form, and the engine requests that begin one
// on a "/dev/rtp" descriptor. The RTP slot and the radio slots build their
// sessions with these; the device is opened for a session here only.

#include <cstdint>

#include "foundation/os/Fd.h"

// The begin-session record. Addresses are IPv4 in network order, as
// inet_addr() gives them.
struct rtp_connection_params {
  uint32_t remote_addr = 0;
  uint16_t remote_port = 0;
  uint32_t src_addr = 0;
  uint16_t src_port = 0;
  uint16_t rx_pt = 0;
  uint16_t tx_pt = 0;
  uint16_t packet_factor = 0;
  uint8_t vad = 0;
  uint8_t crate = 0;
  uint32_t ssrc = 0;
  uint32_t ttl = 0;
  uint32_t tos = 0xFFFFFFFF;
};

// The add-channel record: -1 asks the engine for a channel; it answers the
// session's TDM switch channel in `tdm`.
struct rtp_channel_info {
  int32_t tdm = -1;
  int32_t dev_no = -1;
  int32_t chn = -1;
  int32_t spare = 0;
};

namespace RtpEngine {

// A session opened on "/dev/rtp", or the step that failed with its errno.
struct Session {
  enum Step { None, Open, Begin, AddChannel };

  explicit operator bool() const { return failed == None; }

  Fd fd;
  Step failed = None;
  int error = 0;
};

// Opens the device, begins the session and adds its channel (`info.tdm`
// holds the engine's answer).
Session openSession(const rtp_connection_params& params, rtp_channel_info& info);
// Begin session on `fd`; -1 with errno on failure.
int beginSession(int fd, const rtp_connection_params& params);
// Add channel on `fd`; `info.tdm` holds the engine's answer on success.
int addChannel(int fd, rtp_channel_info& info);
// Packet-detector events on, with their timeout, or off.
int detectorOn(int fd, int32_t timeout);
int detectorOff(int fd);
// A request without argument (input on and off, the teardown steps).
int plain(int fd, uint32_t request);

}  // namespace RtpEngine
