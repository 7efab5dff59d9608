#include "radio/LemzRadioMapping.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iostream>
#include <sstream>

#include "asn1/CoderEnv.h"
#include "radio/SessionAddr.h"
#include "radio/tests/Bytes.h"
#include "testing/Golden.h"

namespace {

using RTPSignalling::LemzRadioState;
namespace Map = RTPSignalling::LemzRadioMapping;

// Every field different from the same field of a state built with another base.
LemzRadioState distinct(int base) {
  LemzRadioState s;
  int32_t* words[] = {&s.command,  &s.prio, &s.remote_no,     &s.remote_ch,     &s.chan_id,
                      &s.squelshe, &s.rte,  &s.standby_state, &s.standby_group, &s.receiver_state};
  uint32_t* flags[] = {&s.ptt, &s.ssrc, &s.bss,  &s.vad_rx,  &s.vad_tx, &s.sql,     &s.sh,
                       &s.pwr, &s.rv,   &s.resv, &s.selcall, &s.li,     &s.src_ssrc};
  int next = base;
  for (int32_t* w : words) *w = next++;
  for (uint32_t* f : flags) *f = uint32_t(next++);
  s.session_addr.s_addr = uint32_t(next++);
  s.src_addr.s_addr = uint32_t(next++);
  s.freq = float(next++);
  s.quality = float(next++);
  std::snprintf(s.callerID, sizeof s.callerID, "caller %d", next);
  return s;
}

const char* const fieldOrder =
    "command prio ptt session_addr ssrc callerID bss vad_rx vad_tx sql sh pwr rv resv selcall li remote_no remote_ch "
    "chan_id freq squelshe rte standby_state standby_group receiver_state quality src_addr src_ssrc";

// The names of the fields that differ, in the record's order.
std::string changed(const LemzRadioState& a, const LemzRadioState& b) {
  std::string out;
  auto field = [&out](const char* name, bool differs) {
    if (differs) out += std::string(out.empty() ? "" : " ") + name;
  };
#define FIELD(f) field(#f, std::memcmp(&a.f, &b.f, sizeof a.f) != 0)
  FIELD(command), FIELD(prio), FIELD(ptt), FIELD(session_addr), FIELD(ssrc), FIELD(callerID), FIELD(bss);
  FIELD(vad_rx), FIELD(vad_tx), FIELD(sql), FIELD(sh), FIELD(pwr), FIELD(rv), FIELD(resv), FIELD(selcall), FIELD(li);
  FIELD(remote_no), FIELD(remote_ch), FIELD(chan_id), FIELD(freq), FIELD(squelshe), FIELD(rte), FIELD(standby_state);
  FIELD(standby_group), FIELD(receiver_state), FIELD(quality), FIELD(src_addr), FIELD(src_ssrc);
#undef FIELD
  return out;
}

// The names given, in the record's order.
std::string inOrder(const std::string& names) {
  std::string out;
  std::istringstream all(fieldOrder);
  for (std::string name; all >> name;)
    if ((" " + names + " ").find(" " + name + " ") != std::string::npos) out += (out.empty() ? "" : " ") + name;
  return out;
}

TEST(LemzRadioMapping, MergeRulesOfEveryCommand) {
  const std::string header = "command prio ptt bss vad_rx vad_tx sql sh pwr rv resv selcall li ";
  const std::string sender = "command prio session_addr ssrc ";
  const struct {
    int32_t command;
    const char* radio;  // what a state from the controller program changes beyond the header
    const char* chan;   // what a received state changes beyond its sender, command and priority
  } rules[] = {
      {0,
       "remote_no remote_ch chan_id freq squelshe rte quality standby_state standby_group receiver_state "
       "session_addr ssrc",
       "ptt callerID bss sh pwr rv resv remote_no remote_ch chan_id freq squelshe rte standby_state"},
      {GW_FLAG, "", "ptt bss sh pwr rv resv"},
      {GW_ADJUST_CHAN, "", "chan_id freq"},
      {GW_FLAG_PTT, "", "ptt"},
      {GW_FLAG_BSS, "", "bss"},
      {GW_FLAG_RV, "", "rv"},
      {GW_FLAG_SH, "", "sh"},
      {GW_FLAG_PW, "", "pwr"},
      {GW_FLAG_RS, "", "resv"},
      {GW_SEL_CALL, "", "callerID"},
      {GW_SELECT_RC_CHAN, "", "remote_no remote_ch"},
      {GW_ADJUST_SQUELSHE, "", "squelshe"},
      {GW_ADJUST_RTE, "", "rte"},
      {GW_ADJUST_STANDBY, "", "standby_state"},
      {WM_FLAG, "", ""},
      {WM_TRANS, "session_addr ssrc", ""},
      {WM_RADIO_QUALITY, "quality", ""},
      {WM_CHAN, "chan_id freq squelshe rte", ""},
      {WM_SEL_CALL_TRANS, "session_addr ssrc", ""},
      {WM_SELECT_RC_CHAN, "remote_no remote_ch", ""},
      {WM_STANDBY, "standby_state standby_group receiver_state", ""},
      {200, "", ""},
  };
  for (const auto& rule : rules) {
    for (int32_t command : {rule.command, rule.command == 0 ? -1 : rule.command}) {
      LemzRadioState s = distinct(200);
      s.command = command;
      LemzRadioState radio = distinct(100), chan = distinct(100);
      EXPECT_EQ(Map::PutProtoFromRadioToChan(radio, s), command > 0 ? 0 : -1) << command;
      EXPECT_EQ(Map::PutProtoFromChanToRadio(chan, s), command > 0 ? 0 : -1) << command;
      EXPECT_EQ(changed(distinct(100), radio), inOrder(header + rule.radio)) << command;
      EXPECT_EQ(changed(distinct(100), chan), inOrder(sender + rule.chan)) << command;
    }
    const bool ptt = rule.command == GW_FLAG || rule.command == GW_FLAG_PTT || rule.command == GW_SEL_CALL ||
                     rule.command == WM_FLAG || rule.command == WM_TRANS || rule.command == WM_SEL_CALL_TRANS;
    EXPECT_EQ(RTPSignalling::isPTTCommand(rule.command), ptt) << rule.command;
  }
}

}  // namespace

namespace {

sig_proto packet(uint32_t type) {
  sig_proto p;
  sig_proto_init(&p);
  p.type = type, p.priority = 3, p.flag_p = 1, p.status = 300, p.src_ssrc = 77;
  inet_aton("10.1.2.3", reinterpret_cast<in_addr*>(&p.src_addr));
  return p;
}

bool encodes(const ASN1::AbstractData& value) {
  std::vector<char> out;
  return ASN1::CoderEnv(ASN1::CoderEnv::per_Aligned).encode(value, out) > 0;
}

TEST(LemzRadioMapping, EveryReceivedPacketReachesTheControllerAsItsAlternative) {
  const struct {
    uint32_t type;
    int alternative;
    bool flags;  // the alternative carries the header flags
  } rows[] = {{GW_FLAG, 0, true},
              {GW_ADJUST_CHAN, 1, false},
              {GW_FLAG_PTT, 2, true},
              {GW_FLAG_BSS, 3, true},
              {GW_FLAG_SH, 4, true},
              {GW_FLAG_PW, 5, true},
              {GW_FLAG_RV, 6, true},
              {GW_FLAG_RS, 7, true},
              {GW_SEL_CALL, 8, true},
              {GW_SELECT_RC_CHAN, 9, false},
              {GW_ADJUST_SQUELSHE, 10, false},
              {GW_ADJUST_RTE, 11, false},
              {GW_ADJUST_STANDBY, 12, false},
              {WM_FLAG, 13, true},
              {WM_TRANS, 14, true},
              {WM_RADIO_QUALITY, 15, false},
              {WM_CHAN, 16, false},
              {WM_SEL_CALL_TRANS, 17, true},
              {WM_SELECT_RC_CHAN, 18, false},
              {WM_STANDBY, 19, false}};
  const LemzRadioState radio;  // nothing set: squelch, RTE and standby are -1
  for (const auto& row : rows) {
    LemzRadioState s;
    ASSERT_EQ(Map::DecodeProto(packet(row.type), s), 0);
    TERM::RtpRadioRequest request;
    ASSERT_EQ(Map::EncodeASN(radio, s, request), 0);
    ASSERT_TRUE(request.hasOptionalField(TERM::RtpRadioRequest::o_request));
    const TERM::LemzRadioModifier& modifier = request.get_request().get_lemz();
    EXPECT_EQ(modifier.get_params().currentSelection(), row.alternative) << row.type;
    EXPECT_TRUE(encodes(request)) << request;
    LemzRadioState back;
    Map::DecodeASN(modifier, back, "");
    EXPECT_EQ(back.command, int32_t(row.type));
    EXPECT_EQ(back.prio, row.flags ? 3 : 15) << row.type;
    EXPECT_EQ(back.li, row.flags ? 300u : 0u) << row.type;
  }
  LemzRadioState s;
  EXPECT_EQ(Map::DecodeProto(packet(14), s), -1);
  TERM::RtpRadioRequest request;
  EXPECT_EQ(Map::EncodeASN(radio, s, request), -1);
  EXPECT_FALSE(request.hasOptionalField(TERM::RtpRadioRequest::o_request));
}

// The reports of a few received packets in value notation: every TERM
// field the mappings fill, as the controller program will read it.
TEST(LemzRadioMapping, ReportsAsTheControllerReadsThem) {
  sig_proto chan = packet(WM_CHAN);
  chan.payload.wm_chan = {4, 145.5f, 255, 9};  // squelch and RTE outside their TERM types
  sig_proto call = packet(GW_SEL_CALL);
  call.flag_c = 2;
  call.payload.gw_sel_call = {4,
                              "12\xC3"
                              "4"};
  sig_proto trans = packet(WM_SEL_CALL_TRANS);
  inet_aton("192.168.1.20", &trans.payload.wm_sel_call_trans.session_addr);
  trans.payload.wm_sel_call_trans.ssrc = 4000000000u;
  std::strcpy(trans.payload.wm_sel_call_trans.callerID, "7"), trans.payload.wm_sel_call_trans.callerID_length = 1;
  sig_proto standby = packet(WM_STANDBY);
  standby.payload.wm_standby = {1, 200, 7};
  sig_proto quality = packet(WM_RADIO_QUALITY);
  quality.payload.wm_radio_quality.radio_quality = 0.25f;

  LemzRadioState radio;
  radio.freq = 30.025f, radio.squelshe = 103, radio.rte = 7, radio.standby_group = 255, radio.receiver_state = 1;
  std::ostringstream text;
  for (const sig_proto& p : {chan, call, trans, standby, quality}) {
    LemzRadioState s;
    Map::DecodeProto(p, s);
    TERM::RtpRadioRequest request;
    Map::EncodeASN(radio, s, request);
    EXPECT_TRUE(encodes(request)) << request;
    text << sig_proto_type_name(int(p.type)) << " " << request << "\n";
  }
  EXPECT_TRUE(Testing::matchesGolden("radio/tests/golden/lemz-reports.txt", text.str()));

  // The state keeps the radio's own numbers, and sends them back unchanged.
  LemzRadioState s;
  Map::DecodeProto(chan, s);
  EXPECT_EQ(s.squelshe, 255);
  s.command = WM_CHAN;
  sig_proto out;
  ASSERT_EQ(Map::EncodeProto(s, out), 0);
  EXPECT_EQ(out.payload.wm_chan.squelsh, 255);
  EXPECT_EQ(out.payload.wm_chan.rte, 9);
}

TEST(LemzRadioMapping, ControllerValuesBecomeStateAndPackets) {
  TERM::RadioStatus status;
  ASSERT_TRUE(status.setFromValueNotation(
      "lemz : { flags { prio 5, ptt TRUE, bss FALSE, vad-rx FALSE, vad-tx FALSE, sql TRUE, sh FALSE, pwr FALSE, "
      "rv FALSE, resv FALSE, selcall 1, li 7 }, freq { channel 3, frequency \"145.500000\" }, remote { no 1, ch 2 }, "
      "squelshe on, rte a1b, standby-state-channel active, standby-group 2, standby-state-receiver standby }"));
  LemzRadioState radio;
  radio.command = WM_FLAG;
  ASSERT_EQ(Map::DecodeASN(status.get_lemz(), radio), 0);
  EXPECT_EQ(radio.command, 0);
  EXPECT_EQ(radio.freq, 145.5f);
  EXPECT_EQ(radio.sql, 1u);
  unsigned char buf[300];
  auto sent = [&buf](LemzRadioState s, int32_t command) {
    s.command = command;
    sig_proto p;
    const int n = Map::EncodeProto(s, p) == 0 ? sig_proto_pack(&p, buf, sizeof buf) : 0;
    return Bytes(buf, buf + (n > 0 ? n : 0));
  };
  EXPECT_EQ(sent(radio, WM_CHAN), hex("84 55 00 3A 00 00 00 03 43 11 80 00 02 02 00 00"));
  EXPECT_EQ(sent(radio, WM_STANDBY), hex("87 55 00 3A 00 02 01 00"));
  EXPECT_EQ(sent(radio, WM_SELECT_RC_CHAN), hex("86 55 00 3A 01 02 00 00"));
  EXPECT_EQ(sent(radio, GW_FLAG), Bytes());
  // Values not set go to the radio as 255; a negative channel goes as its 32 bits and comes back.
  LemzRadioState unset;
  unset.chan_id = -2;
  const Bytes unsetChan = sent(unset, WM_CHAN);
  EXPECT_EQ(unsetChan, hex("84 F0 00 00 FF FF FF FE 00 00 00 00 FF FF 00 00"));
  EXPECT_EQ(sent(unset, WM_STANDBY), hex("87 F0 00 00 FF FF FF 00"));
  sig_proto received;
  sig_proto_init(&received);
  ASSERT_EQ(sig_proto_unpack(&received, unsetChan.data(), int(unsetChan.size())), 0);
  LemzRadioState back;
  ASSERT_EQ(Map::DecodeProto(received, back), 0);
  EXPECT_EQ(back.chan_id, -2);
  EXPECT_EQ(back.squelshe, 255);
  // A frequency beyond the float range saturates instead of narrowing undefined.
  status.select_lemz().get_freq().set_frequency("1e300");
  LemzRadioState far;
  Map::DecodeASN(status.get_lemz(), far);
  EXPECT_TRUE(std::isinf(far.freq));

  // A caller ID is cut to 255 characters; the radio state keeps none.
  TERM::LemzRadioModifier selcall;
  selcall.get_addr().set_session_addr("10.0.0.9");
  TERM::RadioCommandWMSelCall& call = selcall.get_params().select_wm_selcall();
  call.get_flags().set_prio(2), call.set_ip("192.168.1.20"), call.set_ssrc(6), call.set_cid(std::string(300, 'c'));
  LemzRadioState s = radio;
  ASSERT_EQ(Map::DecodeASN(selcall, s, ""), 0);
  EXPECT_EQ(s.command, WM_SEL_CALL_TRANS);
  EXPECT_EQ(RTPSignalling::SessionAddrToText(s.src_addr), "10.0.0.9");
  EXPECT_EQ(Map::PutProtoFromRadioToChan(radio, s), 0);
  EXPECT_STREQ(radio.callerID, "");
  EXPECT_EQ(RTPSignalling::SessionAddrToText(radio.session_addr), "192.168.1.20");
  const Bytes sentCall = sent(s, WM_SEL_CALL_TRANS);
  ASSERT_EQ(sentCall.size(), 268u);
  EXPECT_EQ(Bytes(sentCall.begin(), sentCall.begin() + 13), hex("85 20 00 00 14 01 A8 C0 00 00 00 06 FF"));

  // An address that does not parse is applied as 255.255.255.255, with one line naming the text.
  std::ostringstream log;
  std::streambuf* saved = std::cerr.rdbuf(log.rdbuf());
  call.set_ip("radio\n7");
  Map::DecodeASN(selcall, s, "rtp_ext[3] 12:00:00:");
  std::cerr.rdbuf(saved);
  EXPECT_EQ(s.session_addr.s_addr, INADDR_NONE);
  EXPECT_EQ(log.str(),
            "rtp_ext[3] 12:00:00:session address \"radio\\x0A7\" is not a dotted IPv4 address, "
            "255.255.255.255 used\n");

  // A modifier without a selection names no command and changes nothing else.
  TERM::LemzRadioModifier empty;
  empty.get_addr().set_session_addr("10.0.0.1");
  s = radio;
  Map::DecodeASN(empty, s, "");
  EXPECT_EQ(s.command, 0);
  EXPECT_EQ(changed(radio, s), "command src_addr");
}

}  // namespace
