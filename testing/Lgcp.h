#pragma once
// Controller messages built and read with the generated classes: a test
// writes a message in value notation and compares the aligned PER bytes
// (as hex) byte for byte; a failure shows the notation of what came. A test
// using it links gw_testing_lgcp; the generated headers stay out of its view.

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Testing {

// The hex of the message written in value notation, e.g.
// "{ seq 1, slot 1, pdu command : create : trunk : { trunk 2, timeslot 5 } }".
std::string lgcp(const std::string& valueNotation);

// The value notation of a hex payload on one line, "?" when it does not decode.
std::string notation(const std::string& hexPayload);

// A message in value notation from its parts; seq and slot are left out
// when NoSeq, NoSlot.
constexpr long NoSeq = -1;
constexpr long NoSlot = -1;
inline std::string message(long seq, long slot, const std::string& pdu) {
  std::string text = "{ ";
  if (seq != NoSeq) text += "seq " + std::to_string(seq) + ", ";
  if (slot != NoSlot) text += "slot " + std::to_string(slot) + ", ";
  return text + "pdu " + pdu + " }";
}
inline std::string cmd(long seq, long slot, const std::string& command) {
  return message(seq, slot, "command : " + command);
}
inline std::string ok(long seq, long slot) { return message(seq, slot, "response : success : NULL"); }
inline std::string err(long seq, long slot, const std::string& cause) {
  return message(seq, slot, "response : error : " + cause);
}
inline std::string sig(long slot, const std::string& signal) { return message(NoSeq, slot, "signal : " + signal); }

// The query signal: the board's resources, with the mixer units given in
// value notation (mixerUnit) and the HDLC channels free of each kind.
inline std::string resources(const std::string& mixers, int mccData = 16, int mccBri = 8, int mccTransparent = 8) {
  return sig(NoSlot,
             "query : { boardMajor 0, boardMinor 0, rtp-g729 0, rtp-g723 0, rtp-g711 0, rtp-g711mcc 0, "
             "modem 0, mixer { " +
                 mixers + " }, mux TRUE, mcc-data " + std::to_string(mccData) + ", mcc-bri " + std::to_string(mccBri) +
                 ", mcc-trans " + std::to_string(mccTransparent) +
                 ", echoBus { }, t38-instances 0, digital-modems 0, lin16 0, universal 0 }");
}
inline std::string mixerUnit(int unit, int channels, int inputs) {
  const std::string c = std::to_string(channels);
  return "{ unit " + std::to_string(unit) + ", tdm_inputs " + c + ", tdm_outputs " + c + ", mixer_inputs " +
         std::to_string(inputs) + ", dpu_per_mixer 770, dpu_per_ec 17, dpu_per_lms 24 }";
}

// Compares received hex payloads with the expected ones byte for byte,
// showing both sides in value notation when they differ.
::testing::AssertionResult sameFrames(const std::vector<std::string>& expected, const std::vector<std::string>& actual);

}  // namespace Testing
