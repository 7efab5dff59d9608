#include "radio/ED137RadioState.h"

#include <netinet/in.h>

#include "radio/SessionAddr.h"

namespace RTPSignalling {

namespace {

void decodeHeader(const TERM::ED137RadioHeader& h, ED137RadioState& s) {
  s.ptt = uint32_t(h.get_ptt().getValue());
  s.squ = uint32_t(h.get_squ().getValue());
  s.pttId = h.get_ptt_id().getUnsignedValue();
  s.pttMute = h.get_ptt_mute().getValue();
  s.pttSummation = h.get_ptt_summation().getValue();
  s.sct = h.get_sct().getValue();
}

void encodeHeader(const ED137RadioState& s, TERM::ED137RadioHeader& h) {
  h.get_ptt() = int(s.ptt);
  h.get_squ() = int(s.squ);
  h.set_ptt_id(s.pttId);
  h.set_ptt_mute(s.pttMute != 0);
  h.set_ptt_summation(s.pttSummation != 0);
  h.set_sct(s.sct != 0);
}

void decodeSqi(const TERM::ED137RadioExtensionSQI& sqi, ED137RadioState& s) {
  s.flags |= ED137RadioState::SqiValid;
  s.bssMethod = uint32_t(sqi.get_bss_method().getValue());
  s.bssQuality = sqi.get_bss_quality().getUnsignedValue();
}

void encodeSqi(const ED137RadioState& s, TERM::ED137RadioExtensionSQI& sqi) {
  sqi.get_bss_method() = int(s.bssMethod);
  sqi.set_bss_quality(s.bssQuality);
}

}  // namespace

void ED137RadioParams::Init(const TERM::ED137RadioResponse& r) {
  using R = TERM::ED137RadioResponse;
  if (r.hasOptionalField(R::o_transmission_depend_on_squ))
    transmissionDependOnSqu = r.get_transmission_depend_on_squ().getValue();
  if (r.hasOptionalField(R::o_sigtime)) sigtime = r.get_sigtime().getUnsignedValue();
  if (r.hasOptionalField(R::o_r2s_keepalive_period)) keepalivePeriod = r.get_r2s_keepalive_period().getUnsignedValue();
  if (r.hasOptionalField(R::o_r2s_keepalive_multiplier))
    keepaliveMultiplier = r.get_r2s_keepalive_multiplier().getUnsignedValue();
  type = uint32_t(r.get_type().getValue());
  txrxmode = uint32_t(r.get_txrxmode().getValue());
}

bool ED137RadioState::operator==(const ED137RadioState& o) const {
  return flags == o.flags && ptt == o.ptt && squ == o.squ && pttId == o.pttId && pttMute == o.pttMute &&
         pttSummation == o.pttSummation && sct == o.sct && bssMethod == o.bssMethod && bssQuality == o.bssQuality &&
         addr == o.addr && ssrc == o.ssrc;
}

void ED137RadioState::TakeSqi(const ED137RadioState& from) {
  if (!from.HasSqi()) return;
  bssMethod = from.bssMethod;
  bssQuality = from.bssQuality;
}

void ED137RadioState::DecodeASN(const TERM::ED137RadioModifier& m, const std::string& logPrefix) {
  using P = TERM::ED137RadioModifierParams;
  flags = 0;
  addr = SessionAddrFromText(m.get_addr().get_session_addr(), logPrefix).s_addr;
  ssrc = m.get_addr().get_session_ssrc().getUnsignedValue();
  const P& params = m.get_params();
  if (params.currentSelection() == P::e_tx) {
    flags = Tx;
    decodeHeader(params.get_tx().get_header(), *this);
  } else if (params.currentSelection() == P::e_rx) {
    const TERM::ED137RadioRxCommand& rx = params.get_rx();
    flags = Rx;
    decodeHeader(rx.get_header(), *this);
    if (rx.hasOptionalField(TERM::ED137RadioRxCommand::o_sqi)) decodeSqi(rx.get_sqi(), *this);
  }
}

void ED137RadioState::DecodeASN(const TERM::ED137RadioStatus& status) {
  flags = Rx;
  decodeHeader(status.get_header(), *this);
  if (status.hasOptionalField(TERM::ED137RadioStatus::o_sqi)) decodeSqi(status.get_sqi(), *this);
}

void ED137RadioState::EncodeASN(TERM::ED137RadioModifierParams& params) const {
  if (IsRx()) {
    TERM::ED137RadioRxCommand& rx = params.select_rx();
    encodeHeader(*this, rx.get_header());
    if (HasSqi()) {
      rx.includeOptionalField(TERM::ED137RadioRxCommand::o_sqi, TERM::ED137RadioRxCommand::e_sqi);
      encodeSqi(*this, rx.get_sqi());
    }
  } else if (IsTx()) {
    encodeHeader(*this, params.select_tx().get_header());
  }
}

void ED137RadioState::EncodeStatusASN(TERM::RadioStatus& status) const {
  TERM::ED137RadioStatus& ed137 = status.select_ed_137();
  encodeHeader(*this, ed137.get_header());
  ed137.includeOptionalField(TERM::ED137RadioStatus::o_sqi, TERM::ED137RadioStatus::e_sqi);
  encodeSqi(*this, ed137.get_sqi());
}

int ED137RadioState::DecodeProto(const r2s_proto& p) {
  addr = p.src_addr;
  ssrc = p.src_ssrc;
  if (p.type == R2S_PROTO_TX) {
    flags = Tx;
    ptt = p.header.tx.ptt_type;
    pttId = p.header.tx.ptt_id;
    pttMute = p.header.tx.pm;
    pttSummation = p.header.tx.ptts;
    return 0;
  }
  if (p.type != R2S_PROTO_RX) return -1;
  flags = Rx;
  ptt = p.header.rx.ptt_type;
  squ = p.header.rx.squ;
  pttId = p.header.rx.ptt_id;
  pttMute = p.header.rx.pm;
  pttSummation = p.header.rx.ptts;
  sct = p.header.rx.sct;
  for (uint32_t i = 0; i < p.count && i < R2S_PROTO_MAX_BLOCKS; ++i) {
    if (p.blocks[i].type != R2S_RX_SQI) continue;
    flags |= SqiValid;
    bssQuality = p.blocks[i].f[0];
    bssMethod = p.blocks[i].f[1];
  }
  return 0;
}

int ED137RadioState::EncodeProto(r2s_proto& p) const {
  if (IsRx()) {
    r2s_proto_init(&p, R2S_PROTO_RX);
    r2s_proto_set_rx_header(&p, ptt, squ, pttId, pttMute, pttSummation, sct);
    if (HasSqi()) r2s_proto_add_rx_sqi(&p, bssQuality, bssMethod);
    return 0;
  }
  if (IsTx()) {
    r2s_proto_init(&p, R2S_PROTO_TX);
    r2s_proto_set_tx_header(&p, ptt, pttId, pttMute, pttSummation);
    return 0;
  }
  return -1;
}

}  // namespace RTPSignalling
