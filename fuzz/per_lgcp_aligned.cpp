// LGCP.Message from the controller link, aligned PER.
#include "asn1/modules/LGCP.h"
#include "fuzz/AsnRoundTrip.h"
#include "fuzz/Fuzz.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Fuzz::setUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LGCP::Message message;
  Fuzz::roundTrip(message, ASN1::CoderEnv::per_Aligned, data, size);
  return 0;
}
