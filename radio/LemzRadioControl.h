#pragma once
// The LEMZ radio controllers. The controller reads the LEMZ packets that
// arrive on the slot's channel, reports those it accepts to the controller
// program, keeps the radio state the controller program sets and sends its
// workstation packets to the channel, repeats them on its status timer, and
// points the device's source filter at the session that holds push-to-talk.
// The state kept from controller input is the radio state, the one kept from
// received packets the channel state (LemzRadioMapping converts and merges).

#include <cstdint>

#include "radio/LemzRadioState.h"
#include "radio/RadioControl.h"
#include "radio/SigProto.h"

namespace RTPSignalling {

class LemzRadioControl : public RadioControl {
public:
  // The packet kinds the status timer repeats, each with the time of its last send.
  enum ResendKind { FlagsKind, ChanKind, RemoteKind, StandbyKind, ResendKinds };

  LemzRadioControl(int id, const rtp_ext_attach_session_params& attach, const rtp_ext_init_params& init);
  LemzRadioControl(int id, Fd rtp, const rtp_attach_session_params& attach);

  // A controller status or modifier of the lemz kind sets the radio state.
  bool SendASNToChan(const TERM::RadioStatus& status) override;
  bool SendASNToChan(const TERM::RadioModifier& modifier) override;
  bool GetSQU() override { return radioState.sql != 0; }

protected:
  void OnRtpExtEvent(int fd, short revents) override;

  // State s from the controller program into the radio state; 0 lets its packet go out.
  virtual int PutProtoFromRadioToChan(const LemzRadioState&) { return 0; }
  // An accepted received state into the channel state.
  virtual int PutProtoFromChanToRadio(const LemzRadioState&) { return 0; }
  // Whether a received packet is accepted.
  virtual bool AccessFormChanToRadio(const LemzRadioState&) { return true; }
  virtual int EncodeProto(const LemzRadioState&, sig_proto&) { return 0; }

  // Encodes and writes the packet: the write's result.
  int SendProtoToChan(const sig_proto& p) { return Send(p, sig_proto_pack); }
  // The kind a packet type is repeated as; ResendKinds for one that is not.
  static ResendKind KindOf(int32_t command);

  sig_proto rxPacket{};
  sig_proto lastRxPacket{};
  uint32_t resendTime[ResendKinds] = {};
  LemzRadioState chanState;
  LemzRadioState radioState;

private:
  void Init();
  void SendRadioStateToChan(const LemzRadioState& s);
  void OnRtpProtoRXEvent(const sig_proto& p);
};

class LemzRadioGWControl : public LemzRadioControl {
public:
  using LemzRadioControl::LemzRadioControl;

protected:
  // Repeats the workstation packets of the radio state.
  uint32_t ProcessRadioStatus(uint32_t now, uint32_t interval) override;
  int PutProtoFromRadioToChan(const LemzRadioState& s) override;
  int PutProtoFromChanToRadio(const LemzRadioState& s) override;
  // The push-to-talk holder, the gateway itself and a higher priority are heard.
  bool AccessFormChanToRadio(const LemzRadioState& s) override;
  int EncodeProto(const LemzRadioState& s, sig_proto& p) override;

private:
  // Sends the radio state as packet `type` and notes when.
  void Resend(int32_t type, uint32_t now);
};

}  // namespace RTPSignalling
