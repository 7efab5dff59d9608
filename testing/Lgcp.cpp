#include "testing/Lgcp.h"

#include <algorithm>

#include "asn1/CoderEnv.h"
#include "asn1/modules/LGCP.h"
#include "testing/Frames.h"

namespace Testing {

std::string lgcp(const std::string& valueNotation) {
  LGCP::Message msg;
  EXPECT_TRUE(msg.setFromValueNotation(valueNotation)) << valueNotation;
  std::vector<char> out;
  EXPECT_GE(ASN1::CoderEnv(ASN1::CoderEnv::per_Aligned).encode(msg, out), 0) << valueNotation;
  return hex(std::string(out.begin(), out.end()));
}

std::string notation(const std::string& hexPayload) {
  const std::string raw = bytes(hexPayload);
  LGCP::Message msg;
  if (!ASN1::CoderEnv(ASN1::CoderEnv::per_Aligned).decode(raw.data(), raw.data() + raw.size(), msg)) return "?";
  std::string flat;
  for (char c : msg.asValueNotation()) {
    if (c == '\n') c = ' ';
    if (c == ' ' && !flat.empty() && flat.back() == ' ') continue;
    flat += c;
  }
  return flat;
}

::testing::AssertionResult sameFrames(const std::vector<std::string>& expected,
                                      const std::vector<std::string>& actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  ::testing::AssertionResult failure = ::testing::AssertionFailure();
  for (size_t i = 0; i < std::max(expected.size(), actual.size()); ++i) {
    const std::string want = i < expected.size() ? expected[i] : "(none)";
    const std::string got = i < actual.size() ? actual[i] : "(none)";
    const char* mark = want == got ? "  " : "! ";
    failure << "\n"
            << mark << "expected " << want << " " << notation(want) << "\n"
            << mark << "actual   " << got << " " << notation(got);
  }
  return failure;
}

}  // namespace Testing
