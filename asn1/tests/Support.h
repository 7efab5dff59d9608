// Hex text and one-call coding for the tests of the runtime and of the
// message modules.
#pragma once

#include "asn1/CoderEnv.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace GWTEST {

constexpr int aper = ASN1::CoderEnv::per_Aligned;
constexpr int uper = ASN1::CoderEnv::per_Unaligned;
constexpr int ber = ASN1::CoderEnv::ber;

inline std::string hex(const std::vector<char>& octets) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (char c : octets) {
    text += digits[static_cast<unsigned char>(c) >> 4];
    text += digits[static_cast<unsigned char>(c) & 15];
  }
  return text;
}

// Throws on an odd count or a character that is no hex digit, so a broken
// vector line fails its test instead of decoding as something else.
inline std::vector<char> unhex(const std::string& text) {
  auto digit = [&text](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    throw std::invalid_argument("not hex: " + text);
  };
  if (text.size() % 2) throw std::invalid_argument("odd hex length: " + text);
  std::vector<char> octets;
  for (std::size_t i = 0; i < text.size(); i += 2)
    octets.push_back(static_cast<char>(digit(text[i]) << 4 | digit(text[i + 1])));
  return octets;
}

// The encoding in hex, or "FAIL".
inline std::string encode(const ASN1::AbstractData& value, int rule = aper) {
  std::vector<char> out;
  return ASN1::CoderEnv(rule).encode(value, out) < 0 ? "FAIL" : hex(out);
}

inline bool decode(const std::vector<char>& octets, ASN1::AbstractData& value, int rule = aper) {
  return ASN1::CoderEnv(rule).decode(octets.data(), octets.data() + octets.size(), value);
}

inline bool decode(const std::string& text, ASN1::AbstractData& value, int rule = aper) {
  return decode(unhex(text), value, rule);
}

}  // namespace GWTEST
