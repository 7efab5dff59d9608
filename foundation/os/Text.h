#pragma once
// Texts bound for the controller, whose strings are IA5: octets 0x00 to 0x7F.

#include <string>

// The text with every octet above 0x7F replaced by '?': one such octet would
// make the whole message that carries it unencodable.
std::string ia5Text(std::string text);
