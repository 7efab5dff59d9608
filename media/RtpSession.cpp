#include "media/RtpSession.h"

#include <arpa/inet.h>
#include <fcntl.h>

#include <cerrno>

#include "board/Board.h"
#include "board/DevicePaths.h"
#include "board/Record.h"
#include "board/dev/Rtp.h"

namespace RtpEngine {

namespace Eng = Board::Dev::Rtp;

int beginSession(int fd, const rtp_connection_params& p) {
  uint8_t record[Eng::Session::Size] = {};
  Board::RecordWriter out(record, sizeof record);
  out.put(Eng::Session::RemoteAddress, ntohl(p.remote_addr));
  out.put(Eng::Session::RemotePort, p.remote_port);
  out.put(Eng::Session::SourceAddress, ntohl(p.src_addr));
  out.put(Eng::Session::SourcePort, p.src_port);
  out.put(Eng::Session::RxPayloadType, p.rx_pt);
  out.put(Eng::Session::TxPayloadType, p.tx_pt);
  out.put(Eng::Session::PacketFactor, p.packet_factor);
  out.put(Eng::Session::Vad, p.vad);
  out.put(Eng::Session::Crate, p.crate);
  out.put(Eng::Session::Ssrc, p.ssrc);
  out.put(Eng::Session::Ttl, p.ttl);
  out.put(Eng::Session::Tos, p.tos);
  return Board::ioctl(fd, Eng::BeginSession, record);
}

int addChannel(int fd, rtp_channel_info& info) {
  uint8_t record[Eng::Channel::Size];
  Board::RecordWriter out(record, sizeof record);
  out.put(Eng::Channel::Tdm, info.tdm);
  out.put(Eng::Channel::DevNo, info.dev_no);
  out.put(Eng::Channel::Chn, info.chn);
  out.put(Eng::Channel::Spare, info.spare);
  const int r = Board::ioctl(fd, Eng::AddChannel, record);
  if (r >= 0) info.tdm = Board::RecordReader(record, sizeof record).get(Eng::Channel::Tdm);
  return r;
}

int detectorOn(int fd, int32_t timeout) {
  uint8_t record[Eng::EventOn::Size] = {};
  Board::RecordWriter out(record, sizeof record);
  out.put(Eng::EventOn::Type, Eng::PacketDetector);
  out.put(Eng::EventOn::Timeout, uint32_t(timeout));
  out.put(Eng::EventOn::TimeoutAgain, uint32_t(timeout));
  return Board::ioctl(fd, Eng::EventEnable, record);
}

int detectorOff(int fd) {
  uint8_t record[Eng::EventOff::Size];
  Board::RecordWriter(record, sizeof record).put(Eng::EventOff::Type, Eng::PacketDetector);
  return Board::ioctl(fd, Eng::EventDisable, record);
}

int plain(int fd, uint32_t request) { return Board::ioctlValue(fd, request, 0); }

Session openSession(const rtp_connection_params& params, rtp_channel_info& info) {
  Session session{Fd(Board::open(GetRtpDevName(), O_RDONLY | O_CLOEXEC))};
  const int fd = session.fd.get();
  if (fd < 0) {
    session.failed = Session::Open;
  } else if (beginSession(fd, params) < 0) {
    session.failed = Session::Begin;
  } else if (addChannel(fd, info) < 0) {
    session.failed = Session::AddChannel;
  }
  if (!session) session.error = errno;
  return session;
}

}  // namespace RtpEngine
