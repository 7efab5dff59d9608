// The value-notation reader on any type of the message modules: "MODULE.Type",
// a line feed, then the text.
#include <memory>

#include "asn1/CoderEnv.h"
#include "fuzz/AsnRoundTrip.h"
#include "fuzz/Fuzz.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Fuzz::setUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<ASN1::AbstractData> value(Fuzz::typeNamedBy(data, size));
  if (value) Fuzz::roundTrip(*value, ASN1::CoderEnv::avn, data, size);
  return 0;
}
