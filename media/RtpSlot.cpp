#include "media/RtpSlot.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "board/Board.h"
#include "board/Record.h"
#include "board/dev/Rtp.h"
#include "foundation/os/Ext.h"
#include "hardware/HwMux.h"

namespace {

namespace Eng = Board::Dev::Rtp;
using P = LGCP::IoctlParams;

// RTP payload types of the codec modes (RFC 3551): PCMA and PCMU.
constexpr int AlawPt = 8;
constexpr int UlawPt = 0;

}  // namespace

RtpSlot::RtpSlot(int channel, const Fd& session, const rtp_connection_params& params)
    : OneChannelSlot(channel), sessionFd(session), params(params), fallbackPt(params.rx_pt) {
  sessionEvent.Bind("RtpSlot::OnRtpEvent", &RtpSlot::OnRtpEvent, this);
  sessionEvent.Schedule(sessionFd, POLLIN);
}

RtpSlot::~RtpSlot() {
  send(RTPC::BYE(params.ssrc, ByeReason));
  rtcpSocket.close();
  TonecReceiver::CleanBeforeDestroy();
  DSProcReceiver::CleanBeforeDestroy();
}

void RtpSlot::PutHeader(std::ostream& out) const { out << "rtp[" << channel << "]: "; }

void RtpSlot::IAfterCreate() {
  OnChangeOutputStream(true);
  OnChangeInputStream(true);
}

bool RtpSlot::IBeforeDestroy() {
  // The engine's order; a failing step does not stop the others.
  for (uint32_t step : {Eng::Teardown10, Eng::Teardown3, Eng::Teardown11}) RtpEngine::plain(sessionFd.get(), step);
  RtpEngine::detectorOff(sessionFd.get());
  sessionFd.close();
  HwMux::instance().Disable(channel);
  return true;
}

bool RtpSlot::IOnInputStream() {
  if (!squelchDrivenInput) inputOn = RtpEngine::plain(sessionFd.get(), Eng::InputOn) >= 0;
  return true;
}

void RtpSlot::IOnInputRelease() {
  RtpEngine::plain(sessionFd.get(), Eng::InputOff);
  inputOn = false;
}

bool RtpSlot::Ioctl(const LGCP::IoctlParams& p) {
  switch (p.currentSelection()) {
    case P::e_echoSuppressor: return echoCancel(p.get_echoSuppressor().getValue());
    case P::e_activateWaitTone: activateAudibleCall(); return true;
    case P::e_deactivateWaitTone: cancelAudibleCall(); return true;
    case P::e_translateDTMF: translateDTMF(p.get_translateDTMF()); return true;
    case P::e_dtmf_params: return configureDTMF(p.get_dtmf_params());
    case P::e_dtmf_enable: return enableDTMF(p.get_dtmf_enable().getValue());
    case P::e_encoder_mode: return changeCodec(p, true);
    case P::e_decoder_mode: return changeCodec(p, false);
    case P::e_vad_params: return configureVAD(p.get_vad_params());
    case P::e_vad_enable: return enableVAD(p.get_vad_enable().getValue());
    case P::e_vad_disable: return disableVAD();
    case P::e_dtmf_reject_enable: return enableDTMFReject(p.get_dtmf_reject_enable().getValue());
    case P::e_sd_params: return configureSD();
    case P::e_sd_enable: return enableSD(p.get_sd_enable().getValue());
    case P::e_sd_disable: return disableSD();
    case P::e_pd_enable: return detectorOn(p.get_pd_enable().get_timeout().getValue());
    case P::e_pd_disable: return detectorOff();
    case P::e_rx_gain: configureRxGain((signed char)(p.get_rx_gain().get_gainDB().getValue())); return true;
    case P::e_tone_filter: {
      const LGCP::ToneFilter& f = p.get_tone_filter();
      configureToneFilter(unsigned(f.get_freq().getValue()), f.get_enable().getValue(),
                          f.get_duration_th_msec().getValue(), f.get_det_level_dB().getValue());
      return true;
    }
    case P::e_selcal: translateSelcal(p.get_selcal()); return true;
    default: return false;
  }
}

bool RtpSlot::changeCodec(const LGCP::IoctlParams& request, bool encoder) {
  const LGCP::CodecMode& mode = encoder ? request.get_encoder_mode() : request.get_decoder_mode();
  const int pt = mode.getValue() == LGCP::CodecMode::alaw   ? AlawPt
                 : mode.getValue() == LGCP::CodecMode::ulaw ? UlawPt
                                                            : fallbackPt;
  uint16_t& field = encoder ? params.tx_pt : params.rx_pt;
  std::clog << ext::header(this) << "do restart RTP session (change tx payload):" << request.asValueNotation();
  if (field == pt) {
    std::clog << " - Nothing to do" << std::endl;
    return true;
  }
  field = uint16_t(pt);
  if (!restart()) {
    std::clog << std::endl;
    std::cerr << ext::header(this) << "fail to restart RTP session!" << std::endl;
    return false;
  }
  std::clog << (encoder ? " - OK" : "") << std::endl;
  return true;
}

bool RtpSlot::restart() {
  // The old session goes first, watch included, so the engine frees the channel it is asked for again.
  sessionEvent.Release();
  sessionFd.close();
  rtp_channel_info info;
  info.tdm = channel;
  RtpEngine::Session session = RtpEngine::openSession(params, info);
  if (!session) return false;
  sessionFd = std::move(session.fd);
  sessionEvent.Schedule(sessionFd, POLLIN);
  // A new session starts with its input off: one that was on must stay on, or the voice stops.
  if (inputOn) inputOn = RtpEngine::plain(sessionFd.get(), Eng::InputOn) >= 0;
  return true;
}

bool RtpSlot::detectorOn(int timeout) {
  if (RtpEngine::detectorOn(sessionFd.get(), timeout) < 0) {
    std::cerr << ext::header(this) << "RTP SET EVENT PD fail:"
              << " errno=\"" << std::strerror(errno) << "\"" << std::endl;
    return false;
  }
  std::clog << ext::header(this) << "RTP SET EVENT PD "
            << "timeout=" << timeout << std::endl;
  return true;
}

bool RtpSlot::detectorOff() {
  if (RtpEngine::detectorOff(sessionFd.get()) < 0) {
    std::cerr << ext::header(this) << "RTP RESET EVENT PD fail:"
              << " errno=\"" << std::strerror(errno) << "\"" << std::endl;
    return false;
  }
  std::clog << ext::header(this) << "RTP RESET EVENT PD" << std::endl;
  return true;
}

void RtpSlot::OnRtpEvent(int fd, short revents) {
  if (revents & POLLIN) {
    uint8_t record[Eng::Event::Size];
    for (;;) {
      const ssize_t n = Board::read(fd, record, sizeof record);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
      // An error or the end of the session would keep the loop spinning: stop watching it.
      if (n <= 0) {
        std::cerr << ext::header(this) << "fail to read from rtp: " << (n < 0 ? std::strerror(errno) : "end of file")
                  << std::endl;
        return sessionEvent.Release();
      }
      if (size_t(n) != sizeof record) {
        std::cerr << ext::header(this) << "rtp event of " << n << " bytes dropped" << std::endl;
        continue;
      }
      Board::RecordReader in(record, sizeof record);
      const Eng::EventReport event{in.get(Eng::Event::Type), in.get(Eng::Event::Value), in.get(Eng::Event::Timeout)};
      std::clog << ext::header(this) << "rtp event: "
                << " type=" << event.type << std::endl;
      processRtpEvent(event);
    }
  }
  if (revents & (POLLERR | POLLHUP | POLLNVAL)) {
    std::cerr << ext::header(this) << "fail to read from rtp: hang-up" << std::endl;
    sessionEvent.Release();
  }
}

void RtpSlot::startRTPC(Fd& socket, const sockaddr_in& remote) {
  rtcpRemote = remote;
  if (&socket != &rtcpSocket) rtcpSocket = socket.dup();
  RTPC::SDES sdes(params.ssrc);
  sdes.add(RTPC::SDES::Item::CNAME, Cname);
  sdes.add(RTPC::SDES::Item::EMAIL, Email);
  sdes.add(RTPC::SDES::Item::PHONE, Phone);
  send(sdes);
}

int RtpSlot::send(const RTPC::Msg& msg) {
  char buf[RtcpBufferSize];
  const unsigned length = msg.encode(buf, sizeof buf);
  if (length == 0) return 0;
  return int(::sendto(rtcpSocket.get(), buf, length, MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&rtcpRemote),
                      sizeof rtcpRemote));
}
