#include "asn1/modules/ModuleTable.h"

namespace MessageModules {

const ASN1::AbstractData::InfoType* ModuleTable::find(const std::string& typeName) const {
  for (const TypeEntry& entry : *this)
    if (typeName == entry.name) return entry.info;
  return nullptr;
}

const ASN1::AbstractData::InfoType* findType(const ASN1::CoderEnv& env, const std::string& qualifiedName) {
  const auto dot = qualifiedName.find('.');
  if (dot == std::string::npos) return nullptr;
  const auto* table = dynamic_cast<const ModuleTable*>(env.find(qualifiedName.substr(0, dot).c_str()));
  return table ? table->find(qualifiedName.substr(dot + 1)) : nullptr;
}

}  // namespace MessageModules
