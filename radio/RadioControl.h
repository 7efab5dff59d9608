#pragma once
// The common base of the radio controllers. A radio gateway slot's packets
// carry radio signalling in the RTP header extension; the engine's extension
// device "/dev/rtp_ext" takes the header block to put on outgoing packets
// and hands over the header blocks of received ones. The base owns that
// session (or, for a slot whose RTP session follows another process's, the
// attach of that session), its read event, the periodic status timer, the
// source filter, the counters and the log prefix; the derived controllers
// hold the protocol.
//
// Loop times are 32-bit milliseconds compared by signed difference, so the
// timers survive the clock's wrap.

#include <netinet/in.h>
#include <poll.h>

#include <cstdint>
#include <string>

#include "board/dev/RtpExt.h"
#include "foundation/eventloop/Event.h"
#include "foundation/eventloop/Timer.h"
#include "foundation/os/Fd.h"
#include "foundation/os/INet4.h"
#include "radio/RadioInterfaces.h"
#include "radio/RtpExtDevice.h"

namespace RTPSignalling {

// Milliseconds from `then` to `now`; 0 when `then` is not earlier.
uint32_t Elapsed(uint32_t now, uint32_t then);

class RadioControl : public IRadioController, private IRadioIntController {
public:
  enum RadioControlType {
    ExtAttach = 0,  // an own extension session, initialised and attached to the slot's RTP session
    RtpAttach = 1,  // the slot's RTP session attached to a session of another process
  };

  // What the counters count; nothing reads them back but a debugger.
  struct Counters {
    uint32_t infoRequests = 0;  // positive packet-info results
    uint32_t decoded = 0;
    uint32_t written = 0;
    uint32_t bytesRead = 0;
    uint32_t bytesWritten = 0;
    int32_t encodeError = 0;  // the last one
    int32_t decodeError = 0;
    int32_t infoErrno = 0;  // of the last failed packet-info request
    int32_t readErrno = 0;
    int32_t writeErrno = 0;
  };

  RadioControl(int id, const rtp_ext_attach_session_params& attach, const rtp_ext_init_params& init);
  RadioControl(int id, Fd rtp, const rtp_attach_session_params& attach);
  ~RadioControl() override = default;

  // Opens, initialises and attaches the extension session (ExtAttach), or
  // attaches the RTP session (RtpAttach); false, logged, at the first failure.
  bool RtpExtStart(bool first);
  // Detaches and closes the extension session (ExtAttach), or lets go of
  // the RTP session (RtpAttach). True.
  bool RtpExtStop();
  // The RTP session a restart of the slot's session left it with: what the
  // next start attaches to.
  void FollowSession(const Fd& rtp);

  // Arms the status timer with the interval, or cancels it.
  void SetTimerEnable(bool on);
  // Takes effect at the next arming.
  void SetTimerInterval(uint32_t ms) { statusInterval = ms; }
  void SetNotify(IRadioControlNotify* n) { notify = n; }
  void SetTrace(bool on) { trace = on; }
  void SetWsMode(uint32_t mode) { wsMode = mode; }

  // "rtp_ext[id] <time of day>:", for every log line of the controllers.
  std::string GetPrefix();

protected:
  // Points the device's source filter at `addr`, or lifts it. 0.
  int UpdateAccess(bool set, const in_addr& addr);

  // The receive loop over the blocks waiting on the session: each is decoded
  // into `current` (the source taken from the packet info); of a run of
  // packets of one kind from one source only the last is processed, and a
  // block that does not decode is never. Returns the packets decoded.
  template <class Proto, class Process>
  unsigned Receive(int fd, short revents, Proto& current, Proto& previous,
                   int (*decode)(Proto*, const unsigned char*, int), int (*compare)(const Proto*, const Proto*),
                   Process process);
  // Encodes and writes one block: write()'s result, or the encoder's below 1.
  template <class Proto>
  int Send(const Proto& p, int (*encode)(const Proto*, unsigned char*, int));

  // Writes the base's trace line of a burst.
  void OnRtpExtEvent(int fd, short revents) override;

  Fd extFd;
  rtp_ext_packet_info pktInfo;
  rtp_ext_init_params extInit;
  uint32_t wsMode = 0;
  Counters counters;
  uint32_t lastActivity = 0;
  uint32_t statusInterval = 1000;
  uint8_t trace = 0;
  IRadioControlNotify* notify = nullptr;
  INet4::Addr localAddr;

private:
  void Init(RadioControlType kind);
  void OnProcessStatus(Timer*);
  // A packet-info request and a read: the read's result. A block whose
  // packet info was refused is dropped, logged, and the next one read.
  ssize_t ReadBlock(unsigned char* buf, size_t size);
  int WriteBlock(const unsigned char* buf, int length);
  // A descriptor that hangs up, reports an error, or whose read fails or finds
  // the end stays readable: it is no longer watched. `lastRead` is the last read's result.
  void CheckSession(ssize_t lastRead, short revents);

  RadioControlType type = ExtAttach;
  Fd rtpFd;
  Event extEvent;
  Timer statusTimer;
  rtp_attach_session_params rtpAttach;
  rtp_ext_attach_session_params extAttach;
  uint32_t id;
  uint8_t timerEnabled = 0;
  uint8_t filterSet = 0;
  rtp_ext_filter_params filter;
  std::string prefix;
};

template <class Proto, class Process>
unsigned RadioControl::Receive(int fd, short revents, Proto& current, Proto& previous,
                               int (*decode)(Proto*, const unsigned char*, int),
                               int (*compare)(const Proto*, const Proto*), Process process) {
  unsigned count = 0;
  ssize_t n = 1;
  if (revents & POLLIN) {
    RadioControl::OnRtpExtEvent(fd, revents);
    previous = Proto{};
    unsigned char buf[Board::Dev::RtpExt::BlockMax];
    while ((n = ReadBlock(buf, sizeof buf)) > 0) {
      current = Proto{};
      const int r = decode(&current, buf, int(n));
      if (r < 0) {
        counters.decodeError = r;
        continue;
      }
      ++counters.decoded;
      current.src_addr = pktInfo.addr;
      current.src_ssrc = pktInfo.ssrc;
      if (count > 0 && compare(&previous, &current) != 0) process(previous);
      previous = current;
      ++count;
    }
    if (count > 0) process(previous);
  }
  CheckSession(n, revents);
  return count;
}

template <class Proto>
int RadioControl::Send(const Proto& p, int (*encode)(const Proto*, unsigned char*, int)) {
  unsigned char buf[Board::Dev::RtpExt::BlockMax];
  const int length = encode(&p, buf, int(sizeof buf));
  if (length < 1) {
    counters.encodeError = length;
    return length;
  }
  return WriteBlock(buf, length);
}

}  // namespace RTPSignalling
