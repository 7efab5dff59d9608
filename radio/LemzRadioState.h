#pragma once
// The state of a LEMZ radio as a radio controller keeps it: once as the
// controller program set it (the radio state) and once as the channel last
// reported it (the channel state). The numbers of the TERM enumerations are
// stored as they are; -1 marks a squelch, RTE or standby value not set.

#include <netinet/in.h>

#include <cstdint>

#include "radio/SigProto.h"

namespace RTPSignalling {

constexpr int32_t LemzNotSet = -1;

struct LemzRadioState {
  // The packet type the state stands for; 0 or below applies every field of the merge rules.
  int32_t command = 0;
  int32_t prio = 15;  // 0..15, smaller is higher
  uint32_t ptt = 0;
  in_addr session_addr{};  // the session that transmits (network order)
  uint32_t ssrc = 0;
  char callerID[SIG_PROTO_CALLER_ID_SIZE] = {};  // NUL-terminated
  uint32_t bss = 0;
  uint32_t vad_rx = 0;
  uint32_t vad_tx = 0;
  uint32_t sql = 0;  // squelch open
  uint32_t sh = 0;
  uint32_t pwr = 0;
  uint32_t rv = 0;
  uint32_t resv = 0;
  uint32_t selcall = 0;  // 0..3
  uint32_t li = 0;       // 0..511
  int32_t remote_no = 0;
  int32_t remote_ch = 0;
  int32_t chan_id = 0;
  float freq = 0.0f;
  int32_t squelshe = LemzNotSet;        // TERM::RadioSquelshe
  int32_t rte = LemzNotSet;             // TERM::RadioRTE
  int32_t standby_state = LemzNotSet;   // TERM::RadioStandby
  int32_t standby_group = LemzNotSet;   // 0..255
  int32_t receiver_state = LemzNotSet;  // TERM::RadioStandby
  float quality = 0.0f;
  in_addr src_addr{};  // the sender of a received packet, or the session a controller modifier names
  uint32_t src_ssrc = 0;
};

// A push-to-talk command as the type table marks it: GW_FLAG, GW_FLAG_PTT,
// GW_SEL_CALL, WM_FLAG, WM_TRANS and WM_SEL_CALL_TRANS.
bool isPTTCommand(int type);
// A command of 0 or below: every field of the merge rules applies.
bool isDefaultInitCommand(int command);

}  // namespace RTPSignalling
