#pragma once
// Programs of this build that a test starts (the daemon, the test program
// itself again for a death test) run on this processor unless the build is
// for another one: then ctest names the emulator that runs them in
// GW_EMULATOR (its command, words apart by blanks), and it stands before them.

#include <string>
#include <vector>

namespace Testing {

// The emulator's words; none when the tests run natively.
std::vector<std::string> emulator();

// The command line that starts `program` with `args`.
std::vector<std::string> commandLine(const std::string& program, const std::vector<std::string>& args = {});

}  // namespace Testing
