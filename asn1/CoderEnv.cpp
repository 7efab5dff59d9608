#include "asn1/CoderEnv.h"
#include "asn1/BerCoder.h"
#include "asn1/PerCoder.h"
#include "asn1/ValueNotation.h"

namespace ASN1 {

namespace {

// The coders by encoding rule.
const CoderRule* const ruleTable[] = {&avnRule, &berRule, &perAlignedRule, &perUnalignedRule};

}  // namespace

const CoderRule* CoderEnv::rule(int encodingRule) {
  if (encodingRule < 0 || encodingRule >= static_cast<int>(sizeof ruleTable / sizeof ruleTable[0])) return nullptr;
  return ruleTable[encodingRule];
}

int CoderEnv::encode(const AbstractData& value, std::vector<char>& out) const {
  const CoderRule* coder = rule(encodingRule_);
  if (!coder) return -1;
  std::size_t before = out.size();
  if (!coder->encode(value, out)) {
    out.resize(before);
    return -1;
  }
  return static_cast<int>(out.size() - before);
}

bool CoderEnv::decode(const char* first, const char* last, AbstractData& value, bool noEnvironment) {
  const CoderRule* coder = rule(encodingRule_);
  return coder && coder->decode(first, last, value, noEnvironment ? nullptr : this);
}

Module* CoderEnv::find(const char* moduleName) const {
  auto it = modules_.find(moduleName);
  return it == modules_.end() ? nullptr : it->second;
}

}  // namespace ASN1
