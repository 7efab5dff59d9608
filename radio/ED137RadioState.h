#pragma once
// The ED-137 radio session as the gateway keeps it: the session parameters
// from the controller's radio response, and one header state (what the
// channel last sent, what was last sent to it) with its conversions from and
// to the TERM records of the controller program and the codec's record.

#include <cstdint>
#include <string>

#include "asn1/modules/TERM.h"
#include "radio/R2sProto.h"

namespace RTPSignalling {

struct ED137RadioParams {
  bool transmissionDependOnSqu = false;  // the RTP input follows the squelch
  uint32_t sigtime = 1;
  uint32_t keepalivePeriod = 200;  // ms
  uint32_t keepaliveMultiplier = 10;
  uint32_t type = TERM::ED137RadioType::radio_txrx;
  uint32_t txrxmode = TERM::ED137RadioTxRxMode::txrx;

  // The optional keys that are present, and always the type and mode.
  void Init(const TERM::ED137RadioResponse& response);
};

struct ED137RadioState {
  // Bits 15-12 name the header, bit 0 says it is valid, bit 1 that the signal quality is.
  enum Flag : uint32_t { Valid = 0x0001, SqiValid = 0x0002, RxHeader = 0x1000, TxHeader = 0x2000, HeaderKind = 0xF000 };
  static constexpr uint32_t Rx = RxHeader | Valid;
  static constexpr uint32_t Tx = TxHeader | Valid;

  uint32_t flags = 0;
  uint32_t ptt = 0;  // TERM::ED137RadioPTT
  uint32_t squ = 0;  // TERM::ED137RadioSQU
  uint32_t pttId = 0;
  uint32_t pttMute = 0;
  uint32_t pttSummation = 0;
  uint32_t sct = 0;
  uint32_t bssMethod = 0;  // TERM::ED137RadioBSSMethod
  uint32_t bssQuality = 0;
  uint32_t addr = 0;  // the session peer, network order
  uint32_t ssrc = 0;

  bool operator==(const ED137RadioState& o) const;
  bool operator!=(const ED137RadioState& o) const { return !(*this == o); }
  bool IsRx() const { return (flags & HeaderKind) == RxHeader; }
  bool IsTx() const { return (flags & HeaderKind) == TxHeader; }
  // An RX header whose signal quality counts.
  bool HasSqi() const { return (flags & RxHeader) && (flags & SqiValid); }
  // The signal quality words of `from`, taken only when it has them.
  void TakeSqi(const ED137RadioState& from);

  // A controller modifier: the peer, and the header it commands. A session
  // address that does not parse is logged after `logPrefix`.
  void DecodeASN(const TERM::ED137RadioModifier& modifier, const std::string& logPrefix);
  // A controller status: an RX header; the peer stays.
  void DecodeASN(const TERM::ED137RadioStatus& status);
  // The rx or tx alternative; unset for a state that is neither.
  void EncodeASN(TERM::ED137RadioModifierParams& params) const;
  // The ed-137 alternative with the header and the signal quality.
  void EncodeStatusASN(TERM::RadioStatus& status) const;
  // A received record; -1 for one that is no header.
  int DecodeProto(const r2s_proto& p);
  // The record to send; -1 for a state that is neither RX nor TX.
  int EncodeProto(r2s_proto& p) const;
};

}  // namespace RTPSignalling
