// The fixed places the environment moves: the root of every path and the PPP
// authentication proxy's port.

#include "board/Paths.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "testing/Capture.h"

// The daemon changes its working directory after start: a relative root must
// already be the absolute path it named. Taken from two working directories
// made known here, one of them the machine's top, where ".." stays at "/".
TEST(Paths, TheRootIsAnAbsolutePathWithoutTrailingSlashes) {
  namespace fs = std::filesystem;
  const fs::path before = fs::current_path();
  const fs::path deep = Board::Paths::root() + "/cwd/deep";
  fs::create_directories(deep);
  fs::current_path(deep);
  // The kernel's name of it, links resolved, as the daemon would see it.
  const std::string here = fs::current_path().string();
  const std::string up = fs::current_path().parent_path().string();
  const struct {
    std::string cwd;
    const char* value;
    std::string root;
  } cases[] = {
      {here, nullptr, ""},
      {here, "", ""},
      {here, "/", ""},
      {here, "//", ""},
      {here, "/tmp/gw", "/tmp/gw"},
      {here, "/tmp/gw/", "/tmp/gw"},
      {here, "gw", here + "/gw"},
      {here, "gw/", here + "/gw"},
      {here, "./gw", here + "/gw"},
      {here, "a/../gw", here + "/gw"},
      {here, ".", here},
      {here, "..", up},
      {"/", "gw", "/gw"},
      {"/", "gw/", "/gw"},
      {"/", "a/../gw", "/gw"},
      {"/", ".", ""},
      {"/", "..", ""},
      {"/", "/tmp/gw", "/tmp/gw"},
  };
  for (const auto& c : cases) {
    fs::current_path(c.cwd);
    EXPECT_EQ(Board::Paths::root(c.value), c.root) << (c.value ? c.value : "(unset)") << " in " << c.cwd;
  }
  fs::current_path(before);
}

TEST(Paths, TheAuthPortIsTheVariablesWhenItNamesOneElseTheFixedOneAndALineSaysSo) {
  const struct {
    const char* value;
    unsigned short port;
  } valid[] = {
      {nullptr, 52000}, {"", 52000}, {"1", 1}, {"20002", 20002}, {"65535", 65535}, {"052001", 52001},
  };
  for (const auto& c : valid) {
    Testing::Capture err(std::cerr);
    EXPECT_EQ(Board::Paths::authPort(c.value), c.port) << (c.value ? c.value : "(unset)");
    EXPECT_EQ(err.str(), "") << (c.value ? c.value : "(unset)");
  }
  for (const char* value :
       {"abc", "0", "00", "65536", "123x", "-1", "-5", "+5", " 5", "5 ", "0x50", "1e3", "99999999999999999999999"}) {
    Testing::Capture err(std::cerr);
    EXPECT_EQ(Board::Paths::authPort(value), 52000) << value;
    EXPECT_EQ(err.str(),
              "SERVER_AUTH_PORT \"" + std::string(value) + "\" is not a port from 1 to 65535: using port 52000\n");
  }
}
