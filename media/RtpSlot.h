#pragma once
// An RTP slot joins one TDM channel of the board to one RTP voice stream of
// the kernel RTP engine. It owns the engine session (a "/dev/rtp"
// descriptor), the switch channel the engine handed out for it, which is
// both its transmit and its receive channel, a UDP socket on which it sends
// RTCP (a source description at the start, a BYE at the end), and the tone
// and DSP receivers of that channel. The radio gateway slots derive from it.

#include <netinet/in.h>

#include <iosfwd>

#include "foundation/eventloop/Event.h"
#include "foundation/os/Fd.h"
#include "hardware/DSProcReceiver.h"
#include "hardware/TonecReceiver.h"
#include "media/Rtcp.h"
#include "media/RtpSession.h"
#include "server/slot/OneChannelSlot.h"

class RtpSlot : public OneChannelSlot, protected Hardware::TonecReceiver, protected Hardware::DSProcReceiver {
public:
  // The RTCP items of the source description, in this order.
  static constexpr const char* Cname = "Sandrix Quorvanta";
  static constexpr const char* Email = "support@example.net";
  static constexpr const char* Phone = "+44 20 7946 0000";
  static constexpr const char* ByeReason = "session end";
  static constexpr unsigned RtcpBufferSize = 1024;

  // `session`: the begun session with its channel added (the slot keeps a
  // duplicate); `params`: what it was begun with.
  RtpSlot(int channel, const Fd& session, const rtp_connection_params& params);
  // Says goodbye on RTCP and switches off the channel's tone and DSP functions.
  ~RtpSlot() override;

  void IAfterCreate() override;
  // Tears the session down and switches the channel's output off.
  bool IBeforeDestroy() override;
  bool Ioctl(const LGCP::IoctlParams& params) override;
  bool IOnInputStream() override;
  void IOnOutputRelease() override {}
  void IOnInputRelease() override;
  const char* GetName() const override { return "rtp"; }
  // Echo cancelling of the channel, which the factory sets from the create.
  using Hardware::TonecReceiver::echoCancel;

  void tonec_event(const Board::Dev::Dtmf::EventReport& event) override { processTonecEvent(event); }
  unsigned tonec_timeslot() const override { return unsigned(channel); }
  void dsproc_vad_event(const Board::Dev::Dsp::VadReport& event) override { processVADEvent(event); }
  void dsproc_bss_event(const Board::Dev::Dsp::BssReport* event) override { processBSSEvent(event); }
  void dsproc_sd_event(const Board::Dev::Dsp::SdReport& event) override { processSDEvent(event); }
  void dsproc_tone_flt_event(const Board::Dev::Dsp::ToneReport* event) override { processToneFltEvent(event); }
  void dsproc_flags_event(const Board::Dev::Dsp::FlagsReport* event) override { processFlagsEvent(event); }
  unsigned dsproc_timeslot() const override { return unsigned(channel); }

  // Keeps the remote address and a duplicate of the socket (unless it is the
  // slot's own already) and sends the source description.
  void startRTPC(Fd& socket, const sockaddr_in& remote);
  // One RTCP packet to the remote address: sendto()'s result, 0 when nothing
  // was encoded. A failure is not reported: RTCP is best effort.
  int send(const RTPC::Msg& msg);
  // A new engine session with the current params on the same channel; the
  // event watch follows it, and an input that was on is switched on again.
  // False (and no session) when any step failed.
  bool restart();

  // "rtp[channel]: ".
  void PutHeader(std::ostream& out) const;

protected:
  // Reads the session's queued events; a dead descriptor leaves the loop.
  void OnRtpEvent(int fd, short revents);
  // The codec change of encoder-mode (tx) or decoder-mode (rx).
  bool changeCodec(const LGCP::IoctlParams& request, bool encoder);
  bool detectorOn(int timeout);
  bool detectorOff();

  Fd sessionFd;
  Event sessionEvent;
  rtp_connection_params params;
  sockaddr_in rtcpRemote{};
  Fd rtcpSocket;
  // The rx payload type the slot was created with: what lbrc restores.
  int fallbackPt;
  bool inputOn = false;
  // Set by a derived slot whose input follows the radio squelch rather than the connect logic.
  bool squelchDrivenInput = false;
};
