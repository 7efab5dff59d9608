#include "radio/RtpExtDevice.h"

#include <arpa/inet.h>
#include <fcntl.h>

#include "board/Board.h"
#include "board/DevicePaths.h"
#include "board/Record.h"
#include "board/dev/Rtp.h"
#include "board/dev/RtpExt.h"

namespace RTPSignalling {

namespace Ext = Board::Dev::RtpExt;

namespace RtpExtDevice {

namespace {

int attachRequest(int fd, uint32_t request, const rtp_ext_attach_session_params& a) {
  uint8_t record[Ext::Attach::Size];
  Board::RecordWriter out(record, sizeof record);
  out.put(Ext::Attach::FdRtp, a.fd_rtp);
  out.put(Ext::Attach::PidRtp, a.pid_rtp);
  return Board::ioctl(fd, request, record);
}

int filterRequest(int fd, uint32_t request, const rtp_ext_filter_params& f) {
  uint8_t record[Ext::Filter::Size];
  Board::RecordWriter out(record, sizeof record);
  out.put(Ext::Filter::Addr, ntohl(f.addr));
  out.put(Ext::Filter::Reserved, f.reserved);
  return Board::ioctl(fd, request, record);
}

}  // namespace

Fd open() { return Fd(Board::open(GetRtpExtDevName(), O_RDWR | O_CLOEXEC)); }

int init(int fd, const rtp_ext_init_params& i) {
  uint8_t record[Ext::Init::Size];
  Board::RecordWriter out(record, sizeof record);
  out.put(Ext::Init::Etype, i.etype);
  out.put(Ext::Init::Zero, 0);
  out.put(Ext::Init::Mode, i.mode);
  out.put(Ext::Init::Pt, i.pt);
  out.put(Ext::Init::IntervalPkts, i.interval_pkts);
  out.put(Ext::Init::Sigtime, i.sigtime);
  return Board::ioctl(fd, Ext::InitSession, record);
}

int attach(int fd, const rtp_ext_attach_session_params& a) { return attachRequest(fd, Ext::AttachSession, a); }

int detach(int fd, const rtp_ext_attach_session_params& a) { return attachRequest(fd, Ext::DetachSession, a); }

int packetInfo(int fd, rtp_ext_packet_info& info) {
  uint8_t record[Ext::PacketInfo::Size] = {};
  const int r = Board::ioctl(fd, Ext::NextPacketInfo, record);
  if (r < 0) return r;
  Board::RecordReader in(record, sizeof record);
  info.ssrc = in.get(Ext::PacketInfo::Ssrc);
  info.addr = htonl(in.get(Ext::PacketInfo::Addr));
  info.spare = in.get(Ext::PacketInfo::Spare);
  return r;
}

int setFilter(int fd, const rtp_ext_filter_params& f) { return filterRequest(fd, Ext::SetFilter, f); }

int resetFilter(int fd, const rtp_ext_filter_params& f) { return filterRequest(fd, Ext::ResetFilter, f); }

int attachRtpSession(int rtpFd, const rtp_attach_session_params& a) {
  namespace Rtp = Board::Dev::Rtp;
  uint8_t record[Rtp::Attach::Size];
  Board::RecordWriter out(record, sizeof record);
  out.put(Rtp::Attach::FdRtp, a.fd_rtp);
  out.put(Rtp::Attach::PidRtp, a.pid_rtp);
  return Board::ioctl(rtpFd, Rtp::AttachSession, record);
}

}  // namespace RtpExtDevice
}  // namespace RTPSignalling
