// The basic encoding rules as the coding environment's rule 1.
#pragma once

#include "asn1/BerDecoder.h"
#include "asn1/BerEncoder.h"
#include "asn1/CoderEnv.h"

namespace ASN1 {

extern const CoderRule berRule;

}  // namespace ASN1
