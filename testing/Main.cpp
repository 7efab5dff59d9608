// The tests' main. Under an emulator its words stand before the command line
// GoogleTest keeps, since a death test in the "threadsafe" style starts this
// program again from that line, and the kernel alone cannot run it. A test
// program started by hand without SERVER_ROOT works under a root of its own,
// never under the machine's "/", and removes it at the end unless a test
// failed (its files are then to be looked at); it takes the build's programs
// from its own build tree.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "testing/Emulator.h"
#include "testing/Environment.h"

namespace {

// The root made here ("" when SERVER_ROOT named one), and who made it: a
// child forked by a test that ends through exit() leaves it alone.
std::string made;
pid_t maker = 0;
bool keep = false;

void removeMadeRoot() {
  if (made.empty() || ::getpid() != maker) return;
  if (keep) {
    std::fprintf(stderr, "tests: a test failed; its files stay in SERVER_ROOT=%s\n", made.c_str());
    return;
  }
  std::error_code error;
  std::filesystem::remove_all(made, error);
}

bool placeRoot() {
  const char* given = std::getenv("SERVER_ROOT");
  std::string root = given ? given : "";
  if (root.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    root = std::string(tmp && *tmp ? tmp : "/tmp") + "/gw-test.XXXXXX";
    if (!::mkdtemp(&root[0])) {
      std::perror("tests: cannot make a root under the temporary folder");
      return false;
    }
    std::fprintf(stderr, "tests: SERVER_ROOT=%s\n", root.c_str());
    made = root;
    maker = ::getpid();
    std::atexit(removeMadeRoot);
  }
  std::error_code error;
  std::filesystem::create_directories(root, error);
  if (error || ::setenv("SERVER_ROOT", root.c_str(), 1) != 0) {
    std::fprintf(stderr, "tests: cannot use SERVER_ROOT=%s\n", root.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (!placeRoot()) return 1;
  Testing::useBuildPrograms();
  std::vector<std::string> words = Testing::emulator();
  words.insert(words.end(), argv, argv + argc);
  std::vector<char*> line;
  for (std::string& word : words) line.push_back(&word[0]);
  line.push_back(nullptr);
  int count = int(words.size());
  ::testing::InitGoogleTest(&count, line.data());
  const int result = RUN_ALL_TESTS();
  keep = result != 0;
  return result;
}
