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

void shell(const std::string& command) { ASSERT_EQ(0, system(command.c_str())) << command; }

class FindProc : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_FALSE(Board::Paths::root().empty()) << "tests run under their own SERVER_ROOT";
    shell("rm -rf '" + proc + "' && mkdir -p '" + proc + "'");
  }
  void process(const std::string& pid, const std::string& stat) {
    shell("mkdir -p '" + proc + "/" + pid + "'");
    std::ofstream(proc + "/" + pid + "/stat") << stat;
  }
  std::string proc = Board::Paths::path(Board::Paths::Proc);
};

TEST_F(FindProc, HintFirstThenFullScanOfNumericEntries) {
  process("10", "10 (control) S 1 10");
  process("20", "20 (controller) S 1 20");
  process("21", "21 (controller) S 1 21");
  process("self", "30 (server) S 1 30");
  EXPECT_EQ(21, find_proc_by_name("controller", 21));
  EXPECT_EQ(-1, find_proc_by_name("server", 0)) << "entries that are no pid are skipped";
  EXPECT_EQ(-1, find_proc_by_name("controlle", 0));
  shell("rm -rf '" + proc + "/21'");
  EXPECT_EQ(20, find_proc_by_name("controller", 21)) << "a hint no longer running falls back to the scan";
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
  std::string huge(300, 'n');
  process("9", "9 (" + huge + ") S");  // cut to 255 bytes on reading
  EXPECT_EQ(-1, find_proc_by_name(huge.c_str(), 0));
}

TEST(PidFile, CreatedWithThePidAndRemovedAtTheEnd) {
  std::string dir = Board::Paths::path(Board::Paths::RunDir);
  shell("mkdir -p '" + dir + "'");
  std::string path = dir + "server.pid";
  // The modes asked for, whatever mask the machine running the tests sets.
  struct Mask {
    mode_t saved = ::umask(022);
    ~Mask() { ::umask(saved); }
  } mask;
  std::ofstream(path) << "99999999 left behind by a crash\n";
  {
    Linux::Run run("server");
    EXPECT_EQ(Board::Paths::root() + "/var/run/server.pid", run.path());
    std::stringstream content;
    content << std::ifstream(path).rdbuf();
    EXPECT_EQ(std::to_string(getpid()), content.str()) << "exactly the digits, no newline";
    struct stat st;
    ASSERT_EQ(0, stat(path.c_str(), &st));
    EXPECT_EQ(0644u, st.st_mode & 0777);
  }
  EXPECT_NE(0, access(path.c_str(), F_OK));
  Linux::Run nowhere("no-such-dir/server");
  EXPECT_FALSE(nowhere.isOpen()) << "silently skipped";
}

}  // namespace
