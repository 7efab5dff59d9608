#pragma once
// What the controller reads of a link and sets on it, in its own records.

#include "asn1/modules/ACP.h"
#include "asn1/modules/LGCP.h"

namespace SS7 {

class SLC;

// The counters and the state; the link measures no speed, so both are 0.
void fill(ACP::SS7LinkInfo& info, const SLC& link);
// The eight log switches of an ss7Log request.
void apply(const LGCP::SS7L2Log& switches, SLC& link);

}  // namespace SS7
