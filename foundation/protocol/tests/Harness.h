#pragma once
// The name the transport benchmark knows the loopback pair by; the test
// helpers live in testing/.

#include "testing/Loopback.h"

namespace harness {

inline bool tcp_pair(Fd& one, Fd& other) { return Testing::tcpPair(one, other); }

}  // namespace harness
