#pragma once
// Controller messages built and read with the generated classes: a test
// writes a message in value notation and compares the aligned PER bytes
// (as hex) byte for byte; a failure shows the notation of what came.
// Header only: a test using it links the message modules.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "asn1/CoderEnv.h"
#include "asn1/modules/LGCP.h"
#include "testing/Frames.h"

namespace Testing {

// The hex of the message written in value notation, e.g.
// "{ seq 1, slot 1, pdu command : create : trunk : { trunk 2, timeslot 5 } }".
inline std::string lgcp(const std::string& valueNotation) {
  LGCP::Message msg;
  EXPECT_TRUE(msg.setFromValueNotation(valueNotation)) << valueNotation;
  std::vector<char> out;
  EXPECT_GE(ASN1::CoderEnv(ASN1::CoderEnv::per_Aligned).encode(msg, out), 0) << valueNotation;
  return hex(std::string(out.begin(), out.end()));
}

// The message of a hex payload; false when it does not decode.
inline bool decodeLgcp(const std::string& hexPayload, LGCP::Message& msg) {
  const std::string raw = bytes(hexPayload);
  return ASN1::CoderEnv(ASN1::CoderEnv::per_Aligned).decode(raw.data(), raw.data() + raw.size(), msg);
}

// The value notation of a hex payload on one line, "?" when it does not decode.
inline std::string notation(const std::string& hexPayload) {
  LGCP::Message msg;
  if (!decodeLgcp(hexPayload, msg)) return "?";
  std::string flat;
  for (char c : msg.asValueNotation()) {
    if (c == '\n') c = ' ';
    if (c == ' ' && !flat.empty() && flat.back() == ' ') continue;
    flat += c;
  }
  return flat;
}

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
inline ::testing::AssertionResult sameFrames(const std::vector<std::string>& expected,
                                             const std::vector<std::string>& actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  ::testing::AssertionResult failure = ::testing::AssertionFailure();
  for (size_t i = 0; i < std::max(expected.size(), actual.size()); ++i) {
    const std::string want = i < expected.size() ? expected[i] : "(none)";
    const std::string got = i < actual.size() ? actual[i] : "(none)";
    failure << "\n" << (want == got ? "  " : "! ") << "expected " << want << " " << notation(want) << "\n"
            << (want == got ? "  " : "! ") << "actual   " << got << " " << notation(got);
  }
  return failure;
}

}  // namespace Testing
