// Process lookup and the pid file, against a process table and a run
// directory made under the test's own root.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "board/Paths.h"
#include "foundation/os/Proc.h"
#include "foundation/os/Run.h"

namespace {

std::string root() {
  const char* r = getenv("SERVER_ROOT");
  return r ? r : "";
}

void makeDirs(const std::string& path) {
  std::string partial;
  std::stringstream parts(path);
  std::string part;
  while (std::getline(parts, part, '/')) {
    partial += part + "/";
    mkdir(partial.c_str(), 0755);
  }
}

std::string read(const std::string& path) {
  std::ifstream in(path);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

class FindProc : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_FALSE(root().empty()) << "tests run under their own SERVER_ROOT";
    proc = Board::Paths::path(Board::Paths::Proc);
    system(("rm -rf '" + proc + "'").c_str());
    makeDirs(proc);
  }
  void process(const std::string& pid, const std::string& stat) {
    makeDirs(proc + "/" + pid);
    std::ofstream(proc + "/" + pid + "/stat") << stat;
  }
  std::string proc;
};

TEST_F(FindProc, MatchesTheWholeCommandName) {
  process("10", "10 (control) S 1 10");
  process("20", "20 (controller) S 1 20");
  process("self", "30 (controller) S 1 30");  // not a pid: skipped
  EXPECT_EQ(20, find_proc_by_name("controller", 0));
  EXPECT_EQ(-1, find_proc_by_name("controlle", 0));
  EXPECT_EQ(-1, find_proc_by_name("server", 0));
}

TEST_F(FindProc, HintFirstThenFullScan) {
  process("20", "20 (controller) S 1 20");
  process("21", "21 (controller) S 1 21");
  process("22", "22 (other) S 1 22");
  EXPECT_EQ(21, find_proc_by_name("controller", 21));
  EXPECT_EQ(20, find_proc_by_name("controller", 20));
  system(("rm -rf '" + proc + "/21'").c_str());
  EXPECT_EQ(20, find_proc_by_name("controller", 99)) << "a hint no longer running falls back to the scan";
}

TEST_F(FindProc, NameBetweenFirstOpenAndLastCloseBracket) {
  process("5", "5 (a) b) S 1 5");
  process("6", "6 no brackets");
  process("7", "7 )x( S");
  EXPECT_EQ(5, find_proc_by_name("a) b", 0));
  EXPECT_EQ(-1, find_proc_by_name("no brackets", 0));
  EXPECT_EQ(-1, find_proc_by_name("x", 0));
}

TEST_F(FindProc, NamesLongerThanTheKernelFieldNeverMatch) {
  process("8", "8 (controller-proc) S 1 8");  // the kernel keeps 15 characters
  EXPECT_EQ(-1, find_proc_by_name("controller-process", 0));
  process("9", "9 (" + std::string(300, 'n') + ") S");  // cut to 255 bytes on reading
  EXPECT_EQ(-1, find_proc_by_name(std::string(300, 'n').c_str(), 0));
}

TEST(PidFile, CreatedWithThePidAndRemovedAtTheEnd) {
  std::string dir = Board::Paths::path(Board::Paths::RunDir);
  makeDirs(dir);
  std::string path = dir + "server.pid";
  std::ofstream(path) << "99999999 left behind by a crash\n";
  {
    Linux::Run run("server");
    EXPECT_EQ(root() + "/var/run/server.pid", run.path());
    EXPECT_TRUE(run.isOpen());
    EXPECT_EQ(std::to_string(getpid()), read(path)) << "exactly the digits, no newline";
    struct stat st;
    ASSERT_EQ(0, stat(path.c_str(), &st));
    EXPECT_EQ(0644u, st.st_mode & 0777);
  }
  EXPECT_NE(0, access(path.c_str(), F_OK));
}

TEST(PidFile, MissingDirectoryIsSilent) {
  Linux::Run run("no-such-dir/server");
  EXPECT_FALSE(run.isOpen());
}

}  // namespace
