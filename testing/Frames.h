#pragma once
// Bytes as the tests write and compare them: hex text, and TPKT frames
// (RFC 1006: version 3, reserved 0, 16-bit length of the whole packet).

#include <cctype>
#include <string>

namespace Testing {

// "80 01 7f 18" or "80017f18" to bytes.
inline std::string bytes(const std::string& hex) {
  std::string out;
  int high = -1;
  for (char c : hex) {
    if (std::isspace(static_cast<unsigned char>(c))) continue;
    const int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10;
    if (high < 0) {
      high = v;
    } else {
      out += char(high << 4 | v);
      high = -1;
    }
  }
  return out;
}

// Lower-case hex, no blanks: "80017f18".
inline std::string hex(const std::string& raw) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : raw) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// Upper-case hex octets between blanks, as the daemon's logs show them: "80 01 7F 18".
inline std::string octets(const std::string& raw) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : raw) {
    if (!out.empty()) out += ' ';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// The payload in one TPKT frame.
inline std::string tpkt(const std::string& payload) {
  const size_t n = payload.size() + 4;
  return std::string{3, 0, char(n >> 8), char(n & 0xFF)} + payload;
}

// Takes one whole frame off the front of the received bytes; its payload.
inline bool cutTpkt(std::string& received, std::string& payload) {
  if (received.size() < 4) return false;
  const size_t n = size_t(static_cast<unsigned char>(received[2])) << 8 | static_cast<unsigned char>(received[3]);
  if (n < 4 || received.size() < n) return false;
  payload = received.substr(4, n - 4);
  received.erase(0, n);
  return true;
}

}  // namespace Testing
