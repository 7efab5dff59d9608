#pragma once
// The property of every ASN.1 decoder: input it accepts becomes a value that
// encodes again by the same rule (unless it breaks its constraints, which
// decoders do not check) and that encoding decodes to an equal value; text
// the value-notation reader accepts prints and reads back to an equal value.
// The heap a decode takes is bounded by the input's size.

#include <cstddef>
#include <cstdint>

#include "asn1/Types.h"

namespace Fuzz {

// Decodes the octets by `rule` (ASN1::CoderEnv's numbering) into `value`, a
// fresh value of the type, and checks the round trips when it is accepted.
void roundTrip(ASN1::AbstractData& value, int rule, const uint8_t* data, std::size_t size);

// The types of every message module, for targets that take any of them:
// the input starts with "MODULE.Type" and a line feed. Null for an input
// that names none.
ASN1::AbstractData* typeNamedBy(const uint8_t*& data, std::size_t& size);

}  // namespace Fuzz
