// Hex helpers and one-call PER coding for the runtime tests.
#pragma once

#include "asn1/CoderEnv.h"

#include <string>
#include <vector>

namespace GWTEST {

inline std::string hex(const std::vector<char>& octets)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (char c : octets) {
        text += digits[static_cast<unsigned char>(c) >> 4];
        text += digits[static_cast<unsigned char>(c) & 15];
    }
    return text;
}

inline std::vector<char> unhex(const std::string& text)
{
    std::vector<char> octets;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        octets.push_back(static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16)));
    return octets;
}

// The encoding in hex, or "FAIL".
inline std::string per(const ASN1::AbstractData& value, bool aligned = true)
{
    ASN1::CoderEnv env(aligned ? ASN1::CoderEnv::per_Aligned : ASN1::CoderEnv::per_Unaligned);
    std::vector<char> out;
    return env.encode(value, out) < 0 ? "FAIL" : hex(out);
}

inline bool decodeHex(const std::string& text, ASN1::AbstractData& value, bool aligned = true)
{
    ASN1::CoderEnv env(aligned ? ASN1::CoderEnv::per_Aligned : ASN1::CoderEnv::per_Unaligned);
    std::vector<char> octets = unhex(text);
    return env.decode(octets.data(), octets.data() + octets.size(), value);
}

} // namespace GWTEST
