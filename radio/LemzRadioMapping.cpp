#include "radio/LemzRadioMapping.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/os/Text.h"
#include "radio/SessionAddr.h"

namespace RTPSignalling {
namespace LemzRadioMapping {

namespace {

using Params = TERM::LemzRadioModifierParams;

constexpr size_t CallerIdMax = SIG_PROTO_CALLER_ID_SIZE - 1;

// The header fields that packet, state and TERM::RadioFlags share; the
// priority, signed in the state, is moved on its own.
struct FlagRow {
  uint32_t sig_proto::*packet;
  uint32_t LemzRadioState::*state;
  unsigned term;  // field of TERM::RadioFlags
  bool boolean;   // BOOLEAN there (true for any non-zero value), else INTEGER
};
const FlagRow flagRows[] = {
    {&sig_proto::flag_p, &LemzRadioState::ptt, TERM::RadioFlags::e_ptt, true},
    {&sig_proto::flag_b, &LemzRadioState::bss, TERM::RadioFlags::e_bss, true},
    {&sig_proto::flag_r, &LemzRadioState::vad_rx, TERM::RadioFlags::e_vad_rx, true},
    {&sig_proto::flag_t, &LemzRadioState::vad_tx, TERM::RadioFlags::e_vad_tx, true},
    {&sig_proto::flag_s, &LemzRadioState::sql, TERM::RadioFlags::e_sql, true},
    {&sig_proto::flag_sh, &LemzRadioState::sh, TERM::RadioFlags::e_sh, true},
    {&sig_proto::flag_pw, &LemzRadioState::pwr, TERM::RadioFlags::e_pwr, true},
    {&sig_proto::flag_rv, &LemzRadioState::rv, TERM::RadioFlags::e_rv, true},
    {&sig_proto::flag_rs, &LemzRadioState::resv, TERM::RadioFlags::e_resv, true},
    {&sig_proto::flag_c, &LemzRadioState::selcall, TERM::RadioFlags::e_selcall, false},
    {&sig_proto::status, &LemzRadioState::li, TERM::RadioFlags::e_li, false},
};

// Every packet type and its alternative of TERM::LemzRadioModifierParams.
struct CommandRow {
  int32_t command;
  int alternative;
};
const CommandRow commandRows[] = {
    {GW_FLAG, Params::e_gw_set_flags},
    {GW_ADJUST_CHAN, Params::e_gw_set_freq},
    {GW_FLAG_PTT, Params::e_gw_set_ptt},
    {GW_FLAG_BSS, Params::e_gw_set_bss},
    {GW_FLAG_SH, Params::e_gw_set_sh},
    {GW_FLAG_PW, Params::e_gw_set_pwr},
    {GW_FLAG_RV, Params::e_gw_set_rv},
    {GW_FLAG_RS, Params::e_gw_set_resv},
    {GW_SEL_CALL, Params::e_gw_set_selcall},
    {GW_SELECT_RC_CHAN, Params::e_gw_set_remote},
    {GW_ADJUST_SQUELSHE, Params::e_gw_set_squelshe},
    {GW_ADJUST_RTE, Params::e_gw_set_rte},
    {GW_ADJUST_STANDBY, Params::e_gw_set_standby},
    {WM_FLAG, Params::e_wm_flags},
    {WM_TRANS, Params::e_wm_trans},
    {WM_RADIO_QUALITY, Params::e_wm_quality},
    {WM_CHAN, Params::e_wm_chan},
    {WM_SEL_CALL_TRANS, Params::e_wm_selcall},
    {WM_SELECT_RC_CHAN, Params::e_wm_remote},
    {WM_STANDBY, Params::e_wm_standby},
};

int alternativeOf(int32_t command) {
  for (const CommandRow& row : commandRows)
    if (row.command == command) return row.alternative;
  return -1;
}

int32_t commandOf(int alternative) {
  for (const CommandRow& row : commandRows)
    if (row.alternative == alternative) return row.command;
  return 0;
}

// The fields the merges move beyond the header, each with the commands that
// move it; a command of 0 or below moves every one of them.
enum class Field {
  Ptt,
  Bss,
  Sh,
  Rv,
  Pwr,
  Resv,
  ChanId,
  Freq,
  Squelshe,
  Rte,
  CallerId,
  Remote,
  Session,
  Quality,
  StandbyState,
  StandbyGroup,
  ReceiverState,
};
struct MergeRow {
  Field field;
  int32_t commands[2];
};
const MergeRow radioMerge[] = {
    {Field::ChanId, {WM_CHAN}},
    {Field::Freq, {WM_CHAN}},
    {Field::Rte, {WM_CHAN}},
    {Field::Squelshe, {WM_CHAN}},
    {Field::Remote, {WM_SELECT_RC_CHAN}},
    {Field::Session, {WM_TRANS, WM_SEL_CALL_TRANS}},
    {Field::Quality, {WM_RADIO_QUALITY}},
    {Field::StandbyState, {WM_STANDBY}},
    {Field::StandbyGroup, {WM_STANDBY}},
    {Field::ReceiverState, {WM_STANDBY}},
};
const MergeRow chanMerge[] = {
    {Field::Ptt, {GW_FLAG, GW_FLAG_PTT}},       {Field::Bss, {GW_FLAG, GW_FLAG_BSS}},
    {Field::Sh, {GW_FLAG, GW_FLAG_SH}},         {Field::Rv, {GW_FLAG, GW_FLAG_RV}},
    {Field::Pwr, {GW_FLAG, GW_FLAG_PW}},        {Field::Resv, {GW_FLAG, GW_FLAG_RS}},
    {Field::ChanId, {GW_ADJUST_CHAN}},          {Field::Freq, {GW_ADJUST_CHAN}},
    {Field::CallerId, {GW_SEL_CALL}},           {Field::Remote, {GW_SELECT_RC_CHAN}},
    {Field::Squelshe, {GW_ADJUST_SQUELSHE}},    {Field::Rte, {GW_ADJUST_RTE}},
    {Field::StandbyState, {GW_ADJUST_STANDBY}},
};

void copyField(Field field, LemzRadioState& to, const LemzRadioState& from) {
  switch (field) {
    case Field::Ptt: to.ptt = from.ptt; break;
    case Field::Bss: to.bss = from.bss; break;
    case Field::Sh: to.sh = from.sh; break;
    case Field::Rv: to.rv = from.rv; break;
    case Field::Pwr: to.pwr = from.pwr; break;
    case Field::Resv: to.resv = from.resv; break;
    case Field::ChanId: to.chan_id = from.chan_id; break;
    case Field::Freq: to.freq = from.freq; break;
    case Field::Squelshe: to.squelshe = from.squelshe; break;
    case Field::Rte: to.rte = from.rte; break;
    case Field::CallerId: std::memcpy(to.callerID, from.callerID, sizeof to.callerID); break;
    case Field::Remote:
      to.remote_no = from.remote_no;
      to.remote_ch = from.remote_ch;
      break;
    case Field::Session:
      to.session_addr = from.session_addr;
      to.ssrc = from.ssrc;
      break;
    case Field::Quality: to.quality = from.quality; break;
    case Field::StandbyState: to.standby_state = from.standby_state; break;
    case Field::StandbyGroup: to.standby_group = from.standby_group; break;
    case Field::ReceiverState: to.receiver_state = from.receiver_state; break;
  }
}

template <size_t N>
int merge(const MergeRow (&rows)[N], LemzRadioState& to, const LemzRadioState& from) {
  const bool every = isDefaultInitCommand(from.command);
  for (const MergeRow& row : rows)
    if (every || row.commands[0] == from.command || row.commands[1] == from.command) copyField(row.field, to, from);
  return every ? -1 : 0;
}

// A TERM type cannot carry a value that is not set or lies outside it: such
// a value is reported as 0.
int32_t reported(int32_t value, int32_t highest) { return value < 0 || value > highest ? 0 : value; }
int32_t reportedSquelshe(int32_t value) { return reported(value, TERM::RadioSquelshe::percent_100); }
int32_t reportedRte(int32_t value) { return reported(value, TERM::RadioRTE::j3e); }
int32_t reportedStandby(int32_t value) { return reported(value, TERM::RadioStandby::standby); }
int32_t reportedGroup(int32_t value) { return reported(value, 255); }

std::string decimalText(float value) {
  char text[256];
  std::snprintf(text, sizeof text, "%4.6f", double(value));
  return text;
}

float decimalValue(const std::string& text) {
  const double value = std::strtod(text.c_str(), nullptr);
  // Narrowing beyond the float range is undefined behaviour: saturate.
  if (value > FLT_MAX) return HUGE_VALF;
  if (value < -FLT_MAX) return -HUGE_VALF;
  return float(value);
}

// The caller ID up to its zero byte, octets IA5 has not as '?'.
std::string callerIdText(const char* id) { return ia5Text(std::string(id, strnlen(id, CallerIdMax))); }

void setCallerId(LemzRadioState& s, const char* text, size_t length) {
  std::memset(s.callerID, 0, sizeof s.callerID);
  std::memcpy(s.callerID, text, std::min(length, CallerIdMax));
}

// The state field a payload member other than the caller ID fills, as a
// 32-bit word: an octet member gives it 0..255 and takes its low eight bits.
void* stateWord(LemzRadioState& s, sig_proto_value value) {
  switch (value) {
    case sig_proto_value::id: return &s.chan_id;
    case sig_proto_value::freq: return &s.freq;
    case sig_proto_value::interface: return &s.remote_no;
    case sig_proto_value::channel: return &s.remote_ch;
    case sig_proto_value::squelsh: return &s.squelshe;
    case sig_proto_value::rte: return &s.rte;
    case sig_proto_value::state: return &s.standby_state;
    case sig_proto_value::group: return &s.standby_group;
    case sig_proto_value::receiver_state: return &s.receiver_state;
    case sig_proto_value::session_addr: return &s.session_addr;
    case sig_proto_value::ssrc: return &s.ssrc;
    case sig_proto_value::radio_quality: return &s.quality;
    case sig_proto_value::callerID: break;
  }
  return nullptr;
}

const void* stateWord(const LemzRadioState& s, sig_proto_value value) {
  return stateWord(const_cast<LemzRadioState&>(s), value);
}

void encodeFlags(const LemzRadioState& s, TERM::RadioFlags& flags) {
  flags.set_prio(s.prio);
  for (const FlagRow& row : flagRows) {
    if (row.boolean)
      flags.field<ASN1::BOOLEAN>(row.term).setValue(s.*row.state != 0);
    else
      flags.field<ASN1::INTEGER>(row.term).setValue(s.*row.state);
  }
}

void decodeFlags(const TERM::RadioFlags& flags, LemzRadioState& s) {
  s.prio = flags.get_prio().getValue();
  for (const FlagRow& row : flagRows) {
    if (row.boolean)
      s.*row.state = flags.field<ASN1::BOOLEAN>(row.term).getValue() ? 1 : 0;
    else
      s.*row.state = flags.field<ASN1::INTEGER>(row.term).getUnsignedValue();
  }
}

void encodeFrequency(const LemzRadioState& s, TERM::RadioFrequency& freq) {
  freq.set_channel(s.chan_id);
  freq.set_frequency(decimalText(s.freq));
}

void decodeFrequency(const TERM::RadioFrequency& freq, LemzRadioState& s) {
  s.chan_id = freq.get_channel().getValue();
  s.freq = decimalValue(freq.get_frequency());
}

void encodeRemote(const LemzRadioState& s, TERM::RadioRemote& remote) {
  remote.get_no().setValue(s.remote_no);
  remote.get_ch().setValue(s.remote_ch);
}

void decodeRemote(const TERM::RadioRemote& remote, LemzRadioState& s) {
  s.remote_no = int32_t(remote.get_no().getValue());
  s.remote_ch = int32_t(remote.get_ch().getValue());
}

// The fields of a selective call or transmission: flags, session and SSRC.
template <class Value>
void encodeTransmission(const LemzRadioState& s, Value& value) {
  encodeFlags(s, value.get_flags());
  value.set_ip(SessionAddrToText(s.session_addr));
  value.set_ssrc(s.ssrc);
}

template <class Value>
void decodeTransmission(const Value& value, LemzRadioState& s, const std::string& logPrefix) {
  decodeFlags(value.get_flags(), s);
  s.session_addr = SessionAddrFromText(value.get_ip(), logPrefix);
  s.ssrc = value.get_ssrc().getValue();
}

void encodeParams(const LemzRadioState& s, int alternative, Params& params) {
  switch (alternative) {
    case Params::e_gw_set_flags:
    case Params::e_gw_set_ptt:
    case Params::e_gw_set_bss:
    case Params::e_gw_set_sh:
    case Params::e_gw_set_pwr:
    case Params::e_gw_set_rv:
    case Params::e_gw_set_resv:
      encodeFlags(s, params.select<TERM::RadioCommandGWSetFlags>(alternative).get_flags());
      break;
    case Params::e_gw_set_freq: encodeFrequency(s, params.select_gw_set_freq().get_freq()); break;
    case Params::e_gw_set_selcall: {
      TERM::RadioCommandGWSetSelCall& value = params.select_gw_set_selcall();
      encodeTransmission(s, value);
      value.set_cid(callerIdText(s.callerID));
      break;
    }
    case Params::e_gw_set_remote: encodeRemote(s, params.select_gw_set_remote().get_remote()); break;
    case Params::e_gw_set_squelshe:
      params.select_gw_set_squelshe().get_squelshe() = reportedSquelshe(s.squelshe);
      break;
    case Params::e_gw_set_rte: params.select_gw_set_rte().get_rte() = reportedRte(s.rte); break;
    case Params::e_gw_set_standby: params.select_gw_set_standby().get_state() = reportedStandby(s.standby_state); break;
    case Params::e_wm_flags: encodeFlags(s, params.select_wm_flags().get_flags()); break;
    case Params::e_wm_trans: encodeTransmission(s, params.select_wm_trans()); break;
    case Params::e_wm_quality: params.select_wm_quality().set_bss_val(decimalText(s.quality)); break;
    case Params::e_wm_chan: {
      TERM::RadioCommandWMChan& value = params.select_wm_chan();
      encodeFrequency(s, value.get_freq());
      value.get_squelshe() = reportedSquelshe(s.squelshe);
      value.get_rte() = reportedRte(s.rte);
      break;
    }
    case Params::e_wm_selcall: {
      TERM::RadioCommandWMSelCall& value = params.select_wm_selcall();
      encodeTransmission(s, value);
      value.set_cid(callerIdText(s.callerID));
      break;
    }
    case Params::e_wm_remote: encodeRemote(s, params.select_wm_remote().get_remote()); break;
    case Params::e_wm_standby: {
      TERM::RadioCommandWMStandby& value = params.select_wm_standby();
      value.get_state_channel() = reportedStandby(s.standby_state);
      value.get_group().setValue(reportedGroup(s.standby_group));
      value.get_state_receiver() = reportedStandby(s.receiver_state);
      break;
    }
  }
}

void decodeParams(const Params& params, LemzRadioState& s, const std::string& logPrefix) {
  switch (params.currentSelection()) {
    case Params::e_gw_set_flags:
    case Params::e_gw_set_ptt:
    case Params::e_gw_set_bss:
    case Params::e_gw_set_sh:
    case Params::e_gw_set_pwr:
    case Params::e_gw_set_rv:
    case Params::e_gw_set_resv:
      decodeFlags(params.selection<TERM::RadioCommandGWSetFlags>(params.currentSelection()).get_flags(), s);
      break;
    case Params::e_gw_set_freq: decodeFrequency(params.get_gw_set_freq().get_freq(), s); break;
    case Params::e_gw_set_selcall: {
      const TERM::RadioCommandGWSetSelCall& value = params.get_gw_set_selcall();
      decodeTransmission(value, s, logPrefix);
      setCallerId(s, value.get_cid().data(), value.get_cid().size());
      break;
    }
    case Params::e_gw_set_remote: decodeRemote(params.get_gw_set_remote().get_remote(), s); break;
    case Params::e_gw_set_squelshe: s.squelshe = params.get_gw_set_squelshe().get_squelshe().getValue(); break;
    case Params::e_gw_set_rte: s.rte = params.get_gw_set_rte().get_rte().getValue(); break;
    case Params::e_gw_set_standby: s.standby_state = params.get_gw_set_standby().get_state().getValue(); break;
    case Params::e_wm_flags: decodeFlags(params.get_wm_flags().get_flags(), s); break;
    case Params::e_wm_trans: decodeTransmission(params.get_wm_trans(), s, logPrefix); break;
    case Params::e_wm_quality: s.quality = decimalValue(params.get_wm_quality().get_bss_val()); break;
    case Params::e_wm_chan: {
      const TERM::RadioCommandWMChan& value = params.get_wm_chan();
      decodeFrequency(value.get_freq(), s);
      s.squelshe = value.get_squelshe().getValue();
      s.rte = value.get_rte().getValue();
      break;
    }
    case Params::e_wm_selcall: {
      const TERM::RadioCommandWMSelCall& value = params.get_wm_selcall();
      decodeTransmission(value, s, logPrefix);
      setCallerId(s, value.get_cid().data(), value.get_cid().size());
      break;
    }
    case Params::e_wm_remote: decodeRemote(params.get_wm_remote().get_remote(), s); break;
    case Params::e_wm_standby: {
      const TERM::RadioCommandWMStandby& value = params.get_wm_standby();
      s.standby_state = value.get_state_channel().getValue();
      s.standby_group = int32_t(value.get_group().getValue());
      s.receiver_state = value.get_state_receiver().getValue();
      break;
    }
  }
}

}  // namespace

int DecodeProto(const sig_proto& p, LemzRadioState& s) {
  s.command = int32_t(p.type);
  s.prio = int32_t(p.priority);
  for (const FlagRow& row : flagRows) s.*row.state = p.*row.packet;
  s.src_addr.s_addr = p.src_addr;
  s.src_ssrc = p.src_ssrc;
  const sig_proto_packet_name* type = sig_proto_packet(int(p.type));
  if (!type) return -1;
  for (const sig_proto_field& f : type->fields) {
    if (f.octets == sig_proto_octets::none) break;
    if (f.octets == sig_proto_octets::caller_id) {
      uint8_t n;
      const char* id = sig_proto_caller_id(&p, &f, &n);
      setCallerId(s, id, strnlen(id, n));
    } else {
      const uint32_t word = sig_proto_word(&p, &f);
      std::memcpy(stateWord(s, f.value), &word, sizeof word);
    }
  }
  return 0;
}

int EncodeProto(const LemzRadioState& s, sig_proto& p) {
  sig_proto_init(&p);
  p.type = uint32_t(s.command);
  p.priority = uint32_t(s.prio);
  for (const FlagRow& row : flagRows) p.*row.packet = s.*row.state;
  p.src_addr = s.src_addr.s_addr;
  p.src_ssrc = s.src_ssrc;
  const sig_proto_packet_name* type = sig_proto_packet(s.command);
  // A gateway sends only the packets towards a workstation.
  if (!type || s.command < int32_t(WM_FLAG)) return -1;
  for (const sig_proto_field& f : type->fields) {
    if (f.octets == sig_proto_octets::none) break;
    if (f.octets == sig_proto_octets::caller_id) {
      sig_proto_set_caller_id(&p, &f, s.callerID, uint8_t(strnlen(s.callerID, CallerIdMax)));
    } else {
      uint32_t word;
      std::memcpy(&word, stateWord(s, f.value), sizeof word);
      sig_proto_set_word(&p, &f, word);
    }
  }
  return 0;
}

void EncodeStatusASN(const LemzRadioState& s, TERM::RadioStatus& status) {
  TERM::LemzRadioStatus& lemz = status.select_lemz();
  encodeFlags(s, lemz.get_flags());
  encodeFrequency(s, lemz.get_freq());
  encodeRemote(s, lemz.get_remote());
  lemz.get_squelshe() = reportedSquelshe(s.squelshe);
  lemz.get_rte() = reportedRte(s.rte);
  lemz.get_standby_state_channel() = reportedStandby(s.standby_state);
  lemz.get_standby_group().setValue(reportedGroup(s.standby_group));
  lemz.get_standby_state_receiver() = reportedStandby(s.receiver_state);
}

int EncodeASN(const LemzRadioState& radio, const LemzRadioState& s, TERM::RtpRadioRequest& request) {
  EncodeStatusASN(radio, request.get_status());
  const int alternative = alternativeOf(s.command);
  if (alternative < 0) return -1;
  request.includeOptionalField(TERM::RtpRadioRequest::o_request, TERM::RtpRadioRequest::e_request);
  TERM::LemzRadioModifier& modifier = request.get_request().select_lemz();
  modifier.get_addr().set_session_addr(SessionAddrToText(s.src_addr));
  modifier.get_addr().set_session_ssrc(s.src_ssrc);
  encodeParams(s, alternative, modifier.get_params());
  return 0;
}

int DecodeASN(const TERM::LemzRadioStatus& status, LemzRadioState& s) {
  s.command = 0;
  decodeFlags(status.get_flags(), s);
  decodeFrequency(status.get_freq(), s);
  decodeRemote(status.get_remote(), s);
  s.squelshe = status.get_squelshe().getValue();
  s.rte = status.get_rte().getValue();
  s.standby_state = status.get_standby_state_channel().getValue();
  s.standby_group = int32_t(status.get_standby_group().getValue());
  s.receiver_state = status.get_standby_state_receiver().getValue();
  return 0;
}

int DecodeASN(const TERM::LemzRadioModifier& modifier, LemzRadioState& s, const std::string& logPrefix) {
  s.src_addr = SessionAddrFromText(modifier.get_addr().get_session_addr(), logPrefix);
  s.src_ssrc = modifier.get_addr().get_session_ssrc().getValue();
  s.command = commandOf(modifier.get_params().currentSelection());
  decodeParams(modifier.get_params(), s, logPrefix);
  return 0;
}

int PutProtoFromRadioToChan(LemzRadioState& radio, const LemzRadioState& s) {
  radio.command = s.command;
  radio.prio = s.prio;
  for (const FlagRow& row : flagRows) radio.*row.state = s.*row.state;
  return merge(radioMerge, radio, s);
}

int PutProtoFromChanToRadio(LemzRadioState& chan, const LemzRadioState& s) {
  chan.session_addr = s.src_addr;
  chan.ssrc = s.src_ssrc;
  chan.command = s.command;
  chan.prio = s.prio;
  return merge(chanMerge, chan, s);
}

}  // namespace LemzRadioMapping
}  // namespace RTPSignalling
