// The configuration version read from the names in the configuration
// directory: one value a scan, so a directory holding two configuration files
// gives the same version scan after scan instead of each file's in turn.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "monitoring/BoardFiles.h"

namespace fs = std::filesystem;

namespace {

TEST(ConfigVersion, OneValueAScanFromTheNamesThatCount) {
  char here[4096];
  ASSERT_NE(::getcwd(here, sizeof here), nullptr);
  const fs::path dir = fs::path(std::getenv("SERVER_ROOT")) / "config-scan";
  fs::remove_all(dir);
  fs::create_directories(dir / "config.0000000C-0000000000000003");
  for (const char* name :
       {"config.0000000A-0000000000000001", "config.0000000B-0000000000000002", "config.2save.tar.bz2", "other"})
    std::ofstream(dir / name);

  uint32_t first = 0;
  uint64_t second = 0;
  ASSERT_TRUE(BoardFiles::readConfigVersion(dir, first, second));
  // The last of the two files in directory order: either, never the folder's nor a mix of both.
  EXPECT_TRUE((first == 0xA && second == 1) || (first == 0xB && second == 2)) << first << " " << second;
  for (int scan = 0; scan < 3; ++scan) {
    uint32_t againFirst = 0;
    uint64_t againSecond = 0;
    ASSERT_TRUE(BoardFiles::readConfigVersion(dir, againFirst, againSecond));
    EXPECT_EQ(againFirst, first);
    EXPECT_EQ(againSecond, second);
  }

  // No configuration file: nothing read.
  fs::remove(dir / "config.0000000A-0000000000000001");
  fs::remove(dir / "config.0000000B-0000000000000002");
  EXPECT_FALSE(BoardFiles::readConfigVersion(dir, first, second));
  EXPECT_EQ(::chdir(here), 0);
}

}  // namespace
