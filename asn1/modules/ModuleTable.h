// The types of a generated message module by name, as the coding
// environment's registry holds them.
#pragma once

#include "asn1/CoderEnv.h"
#include "asn1/Types.h"

#include <string>

namespace MessageModules {

struct TypeEntry {
  const char* name;
  const ASN1::AbstractData::InfoType* info;
};

class ModuleTable : public ASN1::Module {
public:
  ModuleTable(const char* name, const TypeEntry* types, unsigned count) : Module(name), types_(types), count_(count) {}

  // The record of a type of this module, or null.
  const ASN1::AbstractData::InfoType* find(const std::string& typeName) const;
  const TypeEntry* begin() const { return types_; }
  const TypeEntry* end() const { return types_ + count_; }

private:
  const TypeEntry* types_;
  unsigned count_;
};

// Puts every generated module into the environment's registry.
void registerAll(ASN1::CoderEnv& env);

// The record of "MODULE.Type" among the modules registered in env, or null.
const ASN1::AbstractData::InfoType* findType(const ASN1::CoderEnv& env, const std::string& qualifiedName);

}  // namespace MessageModules
