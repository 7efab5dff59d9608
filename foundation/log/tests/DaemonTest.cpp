#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>

#include "board/Paths.h"
#include "foundation/log/Daemon.h"
#include "foundation/log/LogFileStreamBuf.h"
#include "foundation/log/tests/LogSocket.h"
#include "foundation/os/Version.h"

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string logDirectory(const std::string& name) {
  const std::string dir = Board::Paths::root() + "/" + name;
  ::mkdir(dir.c_str(), 0755);
  return dir;
}

std::string hourFile(const std::string& dir, std::time_t when) {
  std::tm local;
  localtime_r(&when, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y_%m_%d-%H", &local);
  return dir + "/" + stamp + ".log";
}

std::string minuteSecond(std::time_t when) {
  std::tm local;
  localtime_r(&when, &local);
  char text[16];
  std::strftime(text, sizeof text, "%M:%S", &local);
  return text;
}

// Runs the body in a child that becomes a daemon; returns once the child
// (whose daemon(3) leaves a grandchild running) has ended.
template <class Body>
void inDaemonChild(Body body) {
  std::cout.flush();
  std::cerr.flush();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    body();
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(child, ::waitpid(child, &status, 0));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

Mux::timeval pinned = {0, 0};
int pinnedClock(Mux::timeval& now) {
  now = pinned;
  return 0;
}

TEST(LogFiles, LinePrefixesAndTheHourlyFile) {
  const std::string dir = logDirectory("hourly");
  const std::time_t start = 1700000000 - 1700000000 % 3600 + 3599 - 60;
  pinned = {static_cast<int32_t>(start), 123};
  const std::string stamp = minuteSecond(start) + ":00123: ";
  const std::string later = minuteSecond(start) + ":00999: ";
  {
    LogFileStreamBuf buffer(dir, pinnedClock);
    std::ostream out(&buffer);
    out << "a line longer than one sixteen-byte area";
    pinned.tv_usec = 999;
    out << " ends here\nsecond\nthird";
    out.flush();
    pinned.tv_sec += 3600;
    out << " done\nnext hour\n";
    out.flush();
  }
  const std::string late = minuteSecond(start + 3600) + ":00999: ";
  EXPECT_EQ(
      stamp + "a line longer than one sixteen-byte area ends here\n" + later + "second\n" + later + "third done\n",
      readFile(hourFile(dir, start)));
  EXPECT_EQ(late + "next hour\n", readFile(hourFile(dir, start + 3600)));
}

TEST(DaemonSetUp, StreamsGoToSyslogWithTheDaemonIdentity) {
  const std::string ident = Daemon::Identity();
  EXPECT_EQ(std::string("tvd-") + Version::current.tag, ident);

  LogSocket log(SOCK_DGRAM);
  inDaemonChild([&] {
    Daemon::Params params;
    params.name = ident;
    Daemon::Init(params);
    Daemon::Params ignored;
    ignored.name = "second call";
    Daemon::Init(ignored);
    std::cout << "to out" << std::endl;
    std::cerr << "to err" << std::endl;
    std::clog << "to log" << std::endl;
    const char raw[] = "raw bytes";
    if (::write(STDOUT_FILENO, raw, sizeof raw - 1) < 0) ::_exit(3);
  });
  for (const auto& [priority, text] : {std::pair{"<29>", "to out"}, {"<27>", "to err"}, {"<31>", "to log"}}) {
    const std::string record = log.datagram();
    EXPECT_EQ(priority, record.substr(0, 4));
    EXPECT_EQ(" " + ident + ": " + text + '\0', record.substr(record.size() - ident.size() - 10)) << record;
  }
  EXPECT_EQ("raw bytes", log.datagram());
}

}  // namespace
