#pragma once
// The readable form of one D-channel frame for the log: a hex dump, the
// Q.921 address and frame type, and for I and broadcast UI frames the Q.931
// message with its information elements. Every write is bounded by the
// caller's buffer, which always ends up terminated, and nothing is read
// past the frame's length or an element's length octet.

#include <cstddef>

namespace ISDN {

constexpr size_t logbuf_size = 1024;
// The buffer the Q.921 entities decode their frames into.
extern char logbuf[logbuf_size];

// frame: the octets from the address on (no flags, no FCS); to_user: non-zero
// for the direction network to user. A frame shorter than 3 octets gives an
// empty text. Returns the characters written, the terminating NUL excluded.
size_t dlogframe(const unsigned char* frame, int length, int to_user, char* text, size_t size);

}  // namespace ISDN
