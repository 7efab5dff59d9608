#pragma once
// The records of the RTP engine's header-extension device "/dev/rtp_ext" in
// host form, and the requests a radio controller issues with them: on an
// extension session (init, attach, detach, packet info, source filter) and
// on an RTP session of "/dev/rtp" (attach to another process's session).
// Addresses are IPv4 in network order, as in_addr holds them.

#include <cstdint>

#include "foundation/os/Fd.h"

namespace RTPSignalling {

struct rtp_ext_init_params {
  uint16_t etype = 0;  // Board::Dev::RtpExt::ExtensionType
  uint32_t mode = 0;
  uint32_t pt = 0;
  uint32_t interval_pkts = 0;  // ED-137 keep-alive period in packets
  uint32_t sigtime = 0;
};

// The RTP session ("/dev/rtp" descriptor `fd_rtp` of process `pid_rtp`) an
// extension session follows.
struct rtp_ext_attach_session_params {
  int32_t fd_rtp = -1;
  int32_t pid_rtp = -1;
};

// The session of another process that an RTP session is attached to.
struct rtp_attach_session_params {
  int32_t fd_rtp = -1;
  int32_t pid_rtp = -1;
};

// The packet the next read returns.
struct rtp_ext_packet_info {
  uint32_t ssrc = 0;
  uint32_t addr = 0;
  uint32_t spare = 0;
};

// Only packets from `addr` are delivered; 0 when reset.
struct rtp_ext_filter_params {
  uint32_t addr = 0;
  uint32_t reserved = 0;
};

namespace RtpExtDevice {

// An extension session: the device opened read-write; empty when it does not open.
Fd open();
// Each is the request's result: -1 with errno on failure.
int init(int fd, const rtp_ext_init_params& init);
int attach(int fd, const rtp_ext_attach_session_params& attach);
int detach(int fd, const rtp_ext_attach_session_params& attach);
// A positive result tells a packet is waiting; `info` is then its source.
int packetInfo(int fd, rtp_ext_packet_info& info);
int setFilter(int fd, const rtp_ext_filter_params& filter);
int resetFilter(int fd, const rtp_ext_filter_params& filter);
// On "/dev/rtp".
int attachRtpSession(int rtpFd, const rtp_attach_session_params& attach);

}  // namespace RtpExtDevice
}  // namespace RTPSignalling
