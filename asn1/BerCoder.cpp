#include "asn1/BerCoder.h"

namespace ASN1 {

namespace {

bool encodeBER(const AbstractData& value, std::vector<char>& out) {
  std::vector<char> octets;
  octets.reserve(256);
  BEREncoder encoder(octets);
  if (!value.accept(encoder)) return false;
  out.insert(out.end(), octets.begin(), octets.end());
  return true;
}

bool decodeBER(const char* first, const char* last, AbstractData& value, CoderEnv* env) {
  BERDecoder decoder(first, last, env);
  return value.accept(decoder);
}

}  // namespace

const CoderRule berRule = {&encodeBER, &decodeBER};

}  // namespace ASN1
