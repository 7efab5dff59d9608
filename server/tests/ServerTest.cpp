// Runs the real daemon on the simulated board and watches it through the
// board's control socket.

#include "board/Paths.h"
#include "board/sim/ControlClient.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <signal.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Entry {
  uint64_t ms;
  std::string text;
};

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// A port nobody listens on right now.
int freePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(s);
  return ntohs(a.sin_port);
}

// The daemon in a root directory of its own, its standard output in a file there.
class Daemon {
public:
  explicit Daemon(const std::string& name) : root_(std::string(std::getenv("SERVER_ROOT")) + "/" + name) {
    std::system(("rm -rf '" + root_ + "' && mkdir -p '" + root_ + "/var/run'").c_str());
  }
  ~Daemon() {
    if (pid_ > 0 && !exited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }

  void start(const std::vector<std::string>& args) {
    pid_ = ::fork();
    if (pid_ != 0) return;
    ::setenv("SERVER_ROOT", root_.c_str(), 1);
    if (!std::freopen(output().c_str(), "w", stdout)) ::_exit(127);
    std::vector<char*> argv{const_cast<char*>(SERVER_BINARY)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(SERVER_BINARY, argv.data());
    ::_exit(127);
  }

  // The exit status, or -1 when it has not exited within the time.
  int wait(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (Clock::now() > deadline) return -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    exited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  pid_t pid() const { return pid_; }
  std::string file(const char* fixed) const { return root_ + fixed; }
  std::string output() const { return root_ + "/stdout"; }

private:
  std::string root_;
  pid_t pid_ = -1;
  bool exited_ = false;
};

Entry parse(const std::string& line) {
  const size_t space = line.find(' ');
  return Entry{std::stoull(line.substr(0, space)), line.substr(space + 1)};
}

}  // namespace

TEST(Server, RunsWithTheWatchdogAndStopsInOrderOnSigterm) {
  Daemon daemon("watchdog");
  const int port = freePort();
  daemon.start({"--port", std::to_string(port)});

  // The daemon's writes, streamed as they happen; the stream outlives the daemon.
  Board::Sim::ControlClient follower;
  ASSERT_TRUE(follower.connect(3000, daemon.file(Board::Paths::SimControl)));
  std::vector<std::string> lines = follower.command("follow watchdog");
  ASSERT_FALSE(lines.empty());
  ASSERT_EQ(lines.back(), "OK");
  lines.pop_back();
  // START, then a PING after each second of the idle loop.
  std::vector<Entry> entries;
  for (const auto& l : lines) entries.push_back(parse(l));
  for (std::string l; entries.size() < 3 && follower.readLine(l, 3000);) entries.push_back(parse(l));
  ASSERT_GE(entries.size(), 3u);
  EXPECT_EQ(entries[0].text, "START");
  for (size_t i = 1; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].text, "PING");
    EXPECT_GE(entries[i].ms - entries[i - 1].ms, 900u);
    EXPECT_LE(entries[i].ms - entries[i - 1].ms, 1500u);
  }
  Board::Sim::ControlClient control;
  ASSERT_TRUE(control.connect(1000, daemon.file(Board::Paths::SimControl)));
  const std::vector<std::string> journal = control.command("watchdog journal");
  ASSERT_GE(journal.size(), 4u);
  EXPECT_EQ(parse(journal[2]).ms, entries[2].ms);

  const std::string pidFile = daemon.file(Board::Paths::RunDir) + "server.pid";
  EXPECT_EQ(readFile(pidFile), std::to_string(daemon.pid()));
  const std::string started = readFile(daemon.output());
  const std::string tail = "], port=" + std::to_string(port) + "\n";
  EXPECT_EQ(started.compare(0, 17, "Starting server ["), 0) << started;
  ASSERT_GT(started.size(), tail.size());
  EXPECT_EQ(started.substr(started.size() - tail.size()), tail) << started;

  ASSERT_EQ(::kill(daemon.pid(), SIGTERM), 0);
  std::string line, last;
  while (follower.readLine(line, 3000)) last = line;
  EXPECT_EQ(last.substr(last.find(' ') + 1), "STOP");
  EXPECT_EQ(daemon.wait(3000), 0);
  EXPECT_FALSE(exists(pidFile));
}

TEST(Server, CommandLineMistakesPrintTheUsage) {
  const std::vector<std::vector<std::string>> wrong = {
      {"--port", "0"}, {"--port", "65536"}, {"--port", "12x"}, {"--port", "-5"}, {"--port="}, {"-p", "20001"}, {"--bogus"},
  };
  for (const auto& args : wrong) {
    Daemon daemon("usage");
    daemon.start(args);
    EXPECT_EQ(daemon.wait(3000), 2) << args[0];
    EXPECT_EQ(readFile(daemon.output()).compare(0, 7, "Usage:\n"), 0) << args[0];
  }
  Daemon help("help");
  help.start({"--help", "--bogus"});
  EXPECT_EQ(help.wait(3000), 0);
  EXPECT_EQ(readFile(help.output()).compare(0, 7, "Usage:\n"), 0);

  Daemon version("version");
  version.start({"--version", "--port", "20002"});
  EXPECT_EQ(version.wait(3000), 2);
  EXPECT_EQ(readFile(version.output()).compare(0, 16, "server version: "), 0);
}
