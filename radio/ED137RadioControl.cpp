#include "radio/ED137RadioControl.h"

#include <iostream>

#include "foundation/eventloop/Clock.h"
#include "radio/SessionAddr.h"

namespace RTPSignalling {

ED137RadioControl::ED137RadioControl(int channel, const rtp_ext_attach_session_params& attach,
                                     const rtp_ext_init_params& init)
    : RadioControl(channel, attach, init) {
  Init();
}

void ED137RadioControl::Init() {
  lastActivity = lastKeepAliveSent = lastReport = lastRxPacket = Mux::milliseconds();
  r2s_proto_init(&rxProto, R2S_PROTO_NONE);
  r2s_proto_init(&lastRxProto, R2S_PROTO_NONE);
}

bool ED137RadioControl::SendASNToChan(const TERM::RadioStatus& status) {
  if (status.currentSelection() != TERM::RadioStatus::e_ed_137) return false;
  ED137RadioState S = toChan;
  S.DecodeASN(status.get_ed_137());
  SendRadioStateToChan(S);
  return true;
}

bool ED137RadioControl::SendASNToChan(const TERM::RadioModifier& modifier) {
  if (modifier.currentSelection() != TERM::RadioModifier::e_ed_137) return false;
  ED137RadioState S = toChan;
  S.DecodeASN(modifier.get_ed_137(), GetPrefix());
  SendRadioStateToChan(S);
  return true;
}

void ED137RadioControl::SendRadioStateToChan(const ED137RadioState& S) {
  // A session that repeats by itself needs no copy of what it already has.
  if (extInit.sigtime > 0 && extInit.interval_pkts > 0 && S == toChan) return;
  if (PutProtoFromRadioToChan(S) == 0) {
    r2s_proto p{};
    if (EncodeProto(S, p) == 0) {
      SendProtoToChan(p);
      lastActivity = Mux::milliseconds();
      if (S.IsRx()) lastKeepAliveSent = lastActivity;
    }
  }
  if (trace) {
    TERM::RadioStatus status;
    toChan.EncodeStatusASN(status);
    std::clog << GetPrefix() << "command=0x" << std::hex << S.flags << std::dec
              << " receive extension from controller: " << status.asValueNotation() << std::endl;
  }
  // While the gateway signals push-to-talk toward a peer, only that peer is heard.
  UpdateAccess(toChan.ptt != 0, in_addr{toChan.addr});
}

void ED137RadioControl::OnRtpExtEvent(int fd, short revents) {
  if (revents & POLLIN) lastActivity = Mux::milliseconds();
  const unsigned decoded = Receive(fd, revents, rxProto, lastRxProto, r2s_proto_unpack_tx, cmp_r2s_proto_source,
                                   [this](const r2s_proto& record) { OnRtpProtoRXEvent(record); });
  if (decoded > 0) lastRxPacket = lastActivity;
}

void ED137RadioControl::OnRtpProtoRXEvent(const r2s_proto& record) {
  ED137RadioState S;
  if (S.DecodeProto(record) < 0 || !AccessFormChanToRadio(S)) return;
  // A repeated header is reported again only once per status interval.
  if (S == fromChan && Elapsed(lastActivity, lastReport) < statusInterval) return;
  PutProtoFromChanToRadio(S);
  TERM::RtpRadioRequest request;
  toChan.EncodeStatusASN(request.get_status());
  request.includeOptionalField(TERM::RtpRadioRequest::o_request, TERM::RtpRadioRequest::e_request);
  TERM::ED137RadioModifier& modifier = request.get_request().select_ed_137();
  modifier.get_addr().set_session_addr(SessionAddrToText(in_addr{S.addr}));
  modifier.get_addr().set_session_ssrc(S.ssrc);
  S.EncodeASN(modifier.get_params());
  if (trace) {
    std::clog << GetPrefix() << " command=0x" << std::hex << S.flags << std::dec
              << " send extension to controller: " << request.asValueNotation() << std::endl;
  }
  lastReport = lastActivity;
  if (notify) notify->RadioControlNotify(request);
}

uint32_t ED137RadioGWControl::ProcessRadioStatus(uint32_t now, uint32_t interval) {
  const uint32_t loss = params.keepalivePeriod * params.keepaliveMultiplier;
  if (loss != 0 && Elapsed(now, lastRxPacket) >= loss && notify) notify->RadioControlNotify(KeepAliveLost);
  if (Elapsed(now, lastKeepAliveSent) >= interval) {
    toChan.flags |= ED137RadioState::Rx;
    r2s_proto p{};
    if (EncodeProto(toChan, p) == 0) {
      SendProtoToChan(p);
      lastKeepAliveSent = now;
    }
  }
  // The next run falls 10 ms after the keep-alive is due again.
  const uint32_t since = Elapsed(now, lastKeepAliveSent);
  return since > 0 && since < interval ? interval - since + 10 : interval;
}

int ED137RadioGWControl::PutProtoFromRadioToChan(const ED137RadioState& S) {
  const ED137RadioState before = toChan;
  toChan = S;
  toChan.bssMethod = before.bssMethod;
  toChan.bssQuality = before.bssQuality;
  toChan.TakeSqi(S);
  return 0;
}

int ED137RadioGWControl::PutProtoFromChanToRadio(const ED137RadioState& S) {
  const ED137RadioState before = fromChan;
  fromChan = S;
  fromChan.bssMethod = before.bssMethod;
  fromChan.bssQuality = before.bssQuality;
  fromChan.TakeSqi(S);
  return 0;
}

bool ED137RadioGWControl::AccessFormChanToRadio(const ED137RadioState&) {
  using Type = TERM::ED137RadioType;
  using Mode = TERM::ED137RadioTxRxMode;
  const bool transmits = params.type == Type::radio_txrx || params.type == Type::radio || params.type == Type::coupling;
  return transmits && (params.txrxmode == Mode::tx || params.txrxmode == Mode::txrx);
}

}  // namespace RTPSignalling
