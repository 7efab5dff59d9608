#include "radio/LemzRadioControl.h"

#include <algorithm>
#include <iostream>

#include "foundation/eventloop/Clock.h"
#include "radio/LemzRadioMapping.h"

namespace RTPSignalling {

namespace {

struct KindRow {
  int32_t command;
  LemzRadioControl::ResendKind kind;
};
const KindRow kindRows[] = {
    {WM_FLAG, LemzRadioControl::FlagsKind},
    {WM_TRANS, LemzRadioControl::FlagsKind},
    {WM_SEL_CALL_TRANS, LemzRadioControl::FlagsKind},
    {WM_CHAN, LemzRadioControl::ChanKind},
    {WM_SELECT_RC_CHAN, LemzRadioControl::RemoteKind},
    {WM_STANDBY, LemzRadioControl::StandbyKind},
};

// A kind not sent within this is repeated.
constexpr uint32_t ResendAfter = 999;

}  // namespace

LemzRadioControl::LemzRadioControl(int id, const rtp_ext_attach_session_params& attach, const rtp_ext_init_params& init)
    : RadioControl(id, attach, init) {
  Init();
}

LemzRadioControl::LemzRadioControl(int id, Fd rtp, const rtp_attach_session_params& attach)
    : RadioControl(id, std::move(rtp), attach) {
  Init();
}

void LemzRadioControl::Init() {
  lastActivity = Mux::milliseconds();
  std::fill(std::begin(resendTime), std::end(resendTime), lastActivity);
  sig_proto_init(&rxPacket);
  sig_proto_init(&lastRxPacket);
}

LemzRadioControl::ResendKind LemzRadioControl::KindOf(int32_t command) {
  for (const KindRow& row : kindRows)
    if (row.command == command) return row.kind;
  return ResendKinds;
}

bool LemzRadioControl::SendASNToChan(const TERM::RadioStatus& status) {
  if (status.currentSelection() != TERM::RadioStatus::e_lemz) return false;
  LemzRadioState s = radioState;
  LemzRadioMapping::DecodeASN(status.get_lemz(), s);
  SendRadioStateToChan(s);
  return true;
}

bool LemzRadioControl::SendASNToChan(const TERM::RadioModifier& modifier) {
  if (modifier.currentSelection() != TERM::RadioModifier::e_lemz) return false;
  LemzRadioState s = radioState;
  LemzRadioMapping::DecodeASN(modifier.get_lemz(), s, GetPrefix());
  SendRadioStateToChan(s);
  return true;
}

void LemzRadioControl::SendRadioStateToChan(const LemzRadioState& s) {
  sig_proto p{};
  if (PutProtoFromRadioToChan(s) == 0 && EncodeProto(s, p) == 0) {
    SendProtoToChan(p);
    lastActivity = Mux::milliseconds();
    const ResendKind kind = KindOf(s.command);
    if (kind != ResendKinds) resendTime[kind] = lastActivity;
  }
  if (trace) {
    TERM::RadioStatus status;
    LemzRadioMapping::EncodeStatusASN(radioState, status);
    std::clog << GetPrefix() << "command=0x" << std::hex << s.command << std::dec
              << " receive extension from controller: " << status.asValueNotation() << std::endl;
  }
  UpdateAccess(radioState.ptt != 0, radioState.session_addr);
}

void LemzRadioControl::OnRtpExtEvent(int fd, short revents) {
  Receive(fd, revents, rxPacket, lastRxPacket, sig_proto_unpack, cmp_sig_proto_header,
          [this](const sig_proto& p) { OnRtpProtoRXEvent(p); });
}

void LemzRadioControl::OnRtpProtoRXEvent(const sig_proto& p) {
  LemzRadioState s;
  LemzRadioMapping::DecodeProto(p, s);
  if (AccessFormChanToRadio(s)) {
    PutProtoFromChanToRadio(s);
    TERM::RtpRadioRequest request;
    if (LemzRadioMapping::EncodeASN(radioState, s, request) == 0) {
      if (trace) {
        std::clog << GetPrefix() << "command=0x" << std::hex << s.command << std::dec
                  << " send extension to controller: " << request.asValueNotation() << std::endl;
      }
      if (notify) notify->RadioControlNotify(request);
    }
  }
  // The source filter follows the radio state's push-to-talk holder.
  UpdateAccess(radioState.ptt != 0, radioState.session_addr);
}

uint32_t LemzRadioGWControl::ProcessRadioStatus(uint32_t now, uint32_t interval) {
  const LemzRadioState& R = radioState;
  const bool chan = R.chan_id >= 0 && R.freq >= 0.0f;
  const bool remote = R.remote_no >= 0 && R.remote_ch >= 0;
  const bool standby = R.standby_state >= 0 && R.standby_group >= 0 && R.receiver_state >= 0;
  if (Elapsed(now, resendTime[FlagsKind]) > ResendAfter) Resend(R.ptt == 0 ? WM_FLAG : WM_TRANS, now);
  if (chan && Elapsed(now, resendTime[ChanKind]) > ResendAfter) Resend(WM_CHAN, now);
  if (remote) Resend(WM_SELECT_RC_CHAN, now);
  if (standby && Elapsed(now, resendTime[StandbyKind]) > ResendAfter) Resend(WM_STANDBY, now);
  // The next run falls 10 ms after the oldest kind that is repeated falls due;
  // a kind the state does not repeat would hold every run back to the interval.
  uint32_t age = Elapsed(now, resendTime[FlagsKind]);
  if (chan) age = std::max(age, Elapsed(now, resendTime[ChanKind]));
  if (remote) age = std::max(age, Elapsed(now, resendTime[RemoteKind]));
  if (standby) age = std::max(age, Elapsed(now, resendTime[StandbyKind]));
  return age > 0 && age < interval ? interval - age + 10 : interval;
}

void LemzRadioGWControl::Resend(int32_t type, uint32_t now) {
  radioState.command = type;
  sig_proto p{};
  if (EncodeProto(radioState, p) != 0) return;
  SendProtoToChan(p);
  resendTime[KindOf(type)] = now;
}

int LemzRadioGWControl::PutProtoFromRadioToChan(const LemzRadioState& s) {
  return LemzRadioMapping::PutProtoFromRadioToChan(radioState, s);
}

int LemzRadioGWControl::PutProtoFromChanToRadio(const LemzRadioState& s) {
  return LemzRadioMapping::PutProtoFromChanToRadio(chanState, s);
}

bool LemzRadioGWControl::AccessFormChanToRadio(const LemzRadioState& s) {
  const LemzRadioState& R = radioState;
  if (R.ptt == 0) return true;
  if (R.session_addr.s_addr == localAddr.address().s_addr) return true;
  // Pre-emption: a smaller number is a higher priority.
  if (isPTTCommand(s.command) && s.prio < R.prio && s.ptt != 0) return true;
  return R.session_addr.s_addr == s.src_addr.s_addr;
}

int LemzRadioGWControl::EncodeProto(const LemzRadioState& s, sig_proto& p) {
  return LemzRadioMapping::EncodeProto(s, p);
}

}  // namespace RTPSignalling
