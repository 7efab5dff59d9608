#pragma once
// The build version record: printed at start, in the status dump, in the
// daemon identity and reported to the SNMP agents.

#include <iosfwd>

class Version {
public:
  enum Type : int { snapshot = 0, test = 1, release = 2, unit_test = 3 };

  constexpr Version(Type type, int number, const char* label, const char* user, const char* date, const char* tag,
                    const char* arch)
      : type(type), number(number), label(label), user(user), date(date), tag(tag), arch(arch) {}

  // The tag only.
  void put(std::ostream& out) const;

  Type type;
  int number;
  const char* label;
  const char* user;
  const char* date;
  const char* tag;
  const char* arch;

  static const Version current;
};

// "snapshot", "test", "release", "unit-test"; "unknown" otherwise.
const char* version_string(Version::Type type);
// "S", "T", "R", "T"; "U" otherwise.
const char* version_suffix(Version::Type type);

std::ostream& operator<<(std::ostream& out, Version::Type type);
std::ostream& operator<<(std::ostream& out, const Version& version);
