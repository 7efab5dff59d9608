// The encoding rule of a coding call, and the entry points that run it.
#pragma once

#include "asn1/Types.h"

#include <loki/AssocVector.h>

#include <cstring>
#include <vector>

namespace ASN1 {

// A message module as the environment's registry knows it.
class Module {
public:
  explicit Module(const char* name) : name_(name) {}
  virtual ~Module() = default;
  const char* name() const { return name_; }

private:
  const char* name_;
};

class CoderEnv;

// One encoding rule: encode appends the octets of a value to `out` (nothing
// on failure); decode fills `value` from first..last.
struct CoderRule {
  bool (*encode)(const AbstractData& value, std::vector<char>& out);
  bool (*decode)(const char* first, const char* last, AbstractData& value, CoderEnv* env);
};

class CoderEnv {
public:
  enum EncodingRules { avn = 0, ber = 1, per_Aligned = 2, per_Unaligned = 3 };

  struct StringListeralCmp {
    using first_argument_type = const char*;
    using second_argument_type = const char*;
    using result_type = bool;
    bool operator()(const char* a, const char* b) const { return std::strcmp(a, b) < 0; }
  };
  using Registry = Loki::AssocVector<const char*, Module*, StringListeralCmp>;

  explicit CoderEnv(int encodingRule = per_Aligned) : encodingRule_(encodingRule) {}

  int get_encodingRule() const { return encodingRule_; }
  void set_encodingRule(int rule) { encodingRule_ = rule; }

  // Appends the encoding of `value` to `out`: the octet count appended, or
  // -1 on failure (nothing appended).
  int encode(const AbstractData& value, std::vector<char>& out) const;
  template <class OutputIterator>
  bool encode(const AbstractData& value, OutputIterator out) const {
    std::vector<char> octets;
    octets.reserve(256);
    if (encode(value, octets) < 0) return false;
    for (char c : octets) *out++ = c;
    return true;
  }

  // Fills `value` in place from first..last (fields and elements it holds
  // are reused). Input left over after the value is not an error.
  bool decode(const char* first, const char* last, AbstractData& value, bool noEnvironment = true);

  Registry& modules() { return modules_; }
  const Registry& modules() const { return modules_; }
  Module* find(const char* moduleName) const;

  // The coder of a rule, or null for an unknown rule (0 value notation,
  // 1 BER, 2 aligned PER, 3 unaligned PER).
  static const CoderRule* rule(int encodingRule);

private:
  int encodingRule_;
  Registry modules_;
};

template <class OutputIterator>
bool encode(const AbstractData& value, const CoderEnv& env, OutputIterator out) {
  return env.encode(value, out);
}

inline bool decode(const char* first, const char* last, CoderEnv& env, AbstractData& value, bool noEnvironment = true) {
  return env.decode(first, last, value, noEnvironment);
}

}  // namespace ASN1
