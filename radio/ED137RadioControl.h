#pragma once
// The ED-137 radio controllers. The gateway plays the radio side of the
// ED-137 session: it reports the TX headers (push-to-talk) that the voice
// communication side sends on the channel to the controller program, sends
// the RX headers the controller program commands (squelch, push-to-talk
// state, signal quality) and repeats them as keep-alive, and makes its slot
// abort with cause 151 while no header arrives for the keep-alive loss time.

#include <cstdint>

#include "radio/ED137RadioState.h"
#include "radio/R2sProto.h"
#include "radio/RadioControl.h"

namespace RTPSignalling {

class ED137RadioControl : public RadioControl {
public:
  // The slot's cause for a radio whose keep-alive stopped.
  static constexpr int KeepAliveLost = 151;

  ED137RadioControl(int channel, const rtp_ext_attach_session_params& attach, const rtp_ext_init_params& init);

  void SetParams(const ED137RadioParams& p) { params = p; }

  // A controller status or modifier of the ed-137 kind goes to the channel.
  bool SendASNToChan(const TERM::RadioStatus& status) override;
  bool SendASNToChan(const TERM::RadioModifier& modifier) override;
  bool GetSQU() override { return toChan.squ > 0; }

protected:
  void OnRtpExtEvent(int fd, short revents) override;

  // What goes to the channel is kept; 0 lets it go out.
  virtual int PutProtoFromRadioToChan(const ED137RadioState&) { return 0; }
  // What came from the channel is kept.
  virtual int PutProtoFromChanToRadio(const ED137RadioState&) { return 0; }
  // Whether a header from the channel is reported.
  virtual bool AccessFormChanToRadio(const ED137RadioState&) { return true; }
  virtual int EncodeProto(const ED137RadioState&, r2s_proto&) { return 0; }

  // Encodes and writes the record: the write's result.
  int SendProtoToChan(const r2s_proto& p) { return Send(p, r2s_proto_pack); }

  ED137RadioParams params;
  r2s_proto rxProto{};
  r2s_proto lastRxProto{};
  uint32_t lastKeepAliveSent = 0;  // the last RX header written
  uint32_t lastReport = 0;         // the last report to the controller program
  uint32_t lastRxPacket = 0;       // the last header decoded from the channel
  ED137RadioState fromChan;        // the last header received and reported
  ED137RadioState toChan;          // the last header sent

private:
  void Init();
  // Sends S unless it is what was sent last (and the session repeats by itself).
  void SendRadioStateToChan(const ED137RadioState& S);
  void OnRtpProtoRXEvent(const r2s_proto& record);
};

class ED137RadioGWControl : public ED137RadioControl {
public:
  using ED137RadioControl::ED137RadioControl;

protected:
  // Reports a lost keep-alive and repeats the RX header as keep-alive.
  uint32_t ProcessRadioStatus(uint32_t now, uint32_t interval) override;
  int EncodeProto(const ED137RadioState& S, r2s_proto& p) override { return S.EncodeProto(p); }
  int PutProtoFromRadioToChan(const ED137RadioState& S) override;
  int PutProtoFromChanToRadio(const ED137RadioState& S) override;
  // Only a radio that transmits takes push-to-talk from the channel.
  bool AccessFormChanToRadio(const ED137RadioState& S) override;
};

}  // namespace RTPSignalling
