#pragma once
// Paths reach the tests at run time, from the environment ctest sets. A test
// program started by hand finds the build's own programs in the build tree it
// lies in (the tree holding CMakeCache.txt above it), where CMake puts them.

#include <cstdio>
#include <cstdlib>
#include <string>

namespace Testing {

// GW_SERVER_BINARY and GW_STANDIN (under an emulator: the launcher, and
// GW_STANDIN_TARGET the stand-in), each where unset and built.
void useBuildPrograms();

// The variable's value. Unset, the program ends with one line naming it.
// Inline, so that code shared with programs that are no tests can use it.
inline std::string required(const char* name) {
  const char* value = std::getenv(name);
  if (value && *value) return value;
  std::fprintf(stderr, "tests: %s is not set (ctest sets it)\n", name);
  std::exit(1);
}

}  // namespace Testing
