#include "radio/SessionAddr.h"

#include <arpa/inet.h>

#include <cstdio>
#include <iostream>

namespace RTPSignalling {

namespace {

// The text with every octet outside printable ASCII as \xNN, so that a log
// line stays one line.
std::string printable(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += char(c);
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

}  // namespace

in_addr SessionAddrFromText(const std::string& text, const std::string& prefix) {
  in_addr addr;
  if (inet_aton(text.c_str(), &addr) == 0) {
    std::cerr << prefix << "session address \"" << printable(text)
              << "\" is not a dotted IPv4 address, 255.255.255.255 used" << std::endl;
    addr.s_addr = INADDR_NONE;
  }
  return addr;
}

std::string SessionAddrToText(const in_addr& addr) {
  char text[INET_ADDRSTRLEN];
  inet_ntop(AF_INET, &addr, text, sizeof text);
  return text;
}

}  // namespace RTPSignalling
