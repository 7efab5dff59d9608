#pragma once
// Session addresses as the controller program writes them: dotted-decimal
// IPv4 text in the radio records.

#include <netinet/in.h>

#include <string>

namespace RTPSignalling {

// The address as inet_addr(3) reads the text: 255.255.255.255 when it does
// not parse, which is logged once on the error stream after `prefix`.
in_addr SessionAddrFromText(const std::string& text, const std::string& prefix);

// Dotted decimal.
std::string SessionAddrToText(const in_addr& addr);

}  // namespace RTPSignalling
