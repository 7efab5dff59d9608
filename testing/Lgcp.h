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

// Compares received hex payloads with the expected ones byte for byte,
// showing both sides in value notation when they differ.
::testing::AssertionResult sameFrames(const std::vector<std::string>& expected, const std::vector<std::string>& actual);

}  // namespace Testing
