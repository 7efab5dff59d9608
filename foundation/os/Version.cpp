#include "foundation/os/Version.h"

#include <ostream>

#ifndef GW_BUILD_USER
#define GW_BUILD_USER "unknown"
#endif

const Version Version::current(Version::snapshot, 0, "", GW_BUILD_USER, "2025-03-25 11:15", "T250325-1115", "ppc");

void Version::put(std::ostream& out) const { out << tag; }

const char* version_string(Version::Type type) {
  switch (type) {
    case Version::snapshot: return "snapshot";
    case Version::test: return "test";
    case Version::release: return "release";
    case Version::unit_test: return "unit-test";
  }
  return "unknown";
}

const char* version_suffix(Version::Type type) {
  switch (type) {
    case Version::snapshot: return "S";
    case Version::test: return "T";
    case Version::release: return "R";
    case Version::unit_test: return "T";
  }
  return "U";
}

std::ostream& operator<<(std::ostream& out, Version::Type type) { return out << version_string(type); }

std::ostream& operator<<(std::ostream& out, const Version& version) {
  version.put(out);
  return out;
}
