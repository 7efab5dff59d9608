#pragma once
// The conversions of a LEMZ radio state: from a received packet, into a
// packet to send, into the TERM records reported to the controller program
// and from the TERM records it sends, and the two merges that update the
// radio state and the channel state field by field according to the
// command. Stateless: a radio controller passes its states in.
//
// A radio controller uses them as follows (R its radio state, C its channel
// state, s a working state):
//   received packet p:  s = LemzRadioState(); DecodeProto(p, s);
//                       if accepted: PutProtoFromChanToRadio(C, s); EncodeASN(R, s, request)
//   controller status:  s = R; DecodeASN(status.get_lemz(), s)
//   controller modifier: s = R; DecodeASN(modifier.get_lemz(), s, GetPrefix())
//                       then if PutProtoFromRadioToChan(R, s) == 0 and EncodeProto(s, packet) == 0: send
//   periodic re-send:   R.command = kind; EncodeProto(R, packet)
//   trace of R:         EncodeStatusASN(R, status)

#include <string>

#include "asn1/modules/TERM.h"
#include "radio/LemzRadioState.h"
#include "radio/SigProto.h"

namespace RTPSignalling {
namespace LemzRadioMapping {

// Header fields and the type's payload into s; -1 (after the header) for a
// type that is not a packet type, else 0.
int DecodeProto(const sig_proto& p, LemzRadioState& s);

// A WM_ packet of s.command built from s; -1 and no packet for any other command.
int EncodeProto(const LemzRadioState& s, sig_proto& p);

// The lemz alternative built from the state. Squelch, RTE and standby values
// that are not set, or lie outside their TERM types, are reported as 0, so
// the value always encodes; the state keeps its own numbers.
void EncodeStatusASN(const LemzRadioState& s, TERM::RadioStatus& status);

// A received state s for the controller program: `status` from the radio
// state, `request` the lemz modifier of s.command from s and its source.
// -1, with `request` left absent, for a command that has no alternative.
int EncodeASN(const LemzRadioState& radio, const LemzRadioState& s, TERM::RtpRadioRequest& request);

// A controller status into s (command 0); other fields of s stay. 0.
int DecodeASN(const TERM::LemzRadioStatus& status, LemzRadioState& s);

// A controller modifier into s: the command of its alternative (0 for none
// of the twenty) and the fields the alternative carries; other fields of s
// stay. A session address that does not parse is logged after `logPrefix`. 0.
int DecodeASN(const TERM::LemzRadioModifier& modifier, LemzRadioState& s, const std::string& logPrefix);

// Merges s from the controller program into the radio state: 0 for a command
// above 0, -1 for a command of 0 or below (which merges every field).
int PutProtoFromRadioToChan(LemzRadioState& radio, const LemzRadioState& s);

// Merges an accepted received state s into the channel state; results as above.
int PutProtoFromChanToRadio(LemzRadioState& chan, const LemzRadioState& s);

}  // namespace LemzRadioMapping
}  // namespace RTPSignalling
