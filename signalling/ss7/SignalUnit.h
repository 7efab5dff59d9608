#pragma once
// The level-2 header of a signal unit as the HDLC channel hands it over
// (flags and check bits are the controller's work), Q.703:
//
//   octet 0  BSN (7 bits) + 128 * BIB
//   octet 1  FSN (7 bits) + 128 * FIB
//   octet 2  length indicator: octets that follow, 63 for 63 or more
//   octet 3… FISU nothing, LSSU the status, MSU the payload (SIO and SIF)
//
// Received bytes become a SignalUnit through read() before the link control
// looks at them; nothing else indexes a received frame.

#include <cstdint>
#include <iosfwd>

#include "foundation/packet/Cyclic.h"
#include "foundation/packet/Packet.h"

namespace SS7 {

using Seq = Cyclic<unsigned, 127>;

constexpr unsigned HeaderOctets = 3;
// The LI counts up to 62 octets exactly; 63 stands for 63 or more.
constexpr unsigned LongLI = 63;
// An MSU payload: SIO and at least two octets of SIF (an LI below 3 is an
// LSSU or a FISU), at most the SIO and the 272 octets of the longest SIF.
constexpr unsigned MinPayload = 3;
constexpr unsigned MaxPayload = 273;

struct SignalUnit {
  Seq bsn;
  bool bib = false;
  Seq fsn;
  bool fib = false;
  // The whole LI octet; its two spare bits are not masked, so a set spare
  // bit shows as a length mismatch.
  unsigned li = 0;
  // Octets after the header.
  unsigned following = 0;
  // The first of them, when there is one: an LSSU's status field.
  uint8_t status = 0;

  // False when the frame is too short to hold the header.
  bool read(const Packet& frame);
  // What the LI should say for the octets that follow.
  unsigned expected_li() const { return length_indicator(following); }
  static unsigned length_indicator(unsigned payload) { return payload < LongLI ? payload : LongLI; }
};

// " BSN=n BIB=b FSN=n FIB=b", the received fields in a log line.
struct DumpPtr {
  const SignalUnit& su;
};
std::ostream& operator<<(std::ostream& out, const DumpPtr& dump);

// An LSSU status field by its name; a value without one as "unknown:" and hex.
struct StatusName {
  unsigned status;
};
std::ostream& operator<<(std::ostream& out, const StatusName& name);

// " 0xN" for every octet of the packet, upper-case hex without leading zeros.
struct OctetTrace {
  const Packet& packet;
};
std::ostream& operator<<(std::ostream& out, const OctetTrace& trace);

}  // namespace SS7
