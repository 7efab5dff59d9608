// Start-up and process control of the real daemon: command line, starting
// line, pid file, watchdog, signals, status dump, configuration file and
// daemon mode with its syslog output.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "board/Paths.h"
#include "board/sim/ControlClient.h"
#include "foundation/os/Version.h"
#include "server/tests/Harness.h"
#include "testing/Environment.h"
#include "testing/Golden.h"

using e2e::Controller;
using e2e::Daemon;

namespace {

const char* const usage = "server/tests/golden/usage.txt";

std::string version() {
  std::ostringstream text;
  text << Version::current;
  return text.str();
}

struct Entry {
  uint64_t ms;
  std::string text;
};

std::vector<Entry> journal(Board::Sim::ControlClient& client) {
  std::vector<Entry> entries;
  for (const auto& line : client.command("watchdog journal")) {
    const size_t space = line.find(' ');
    if (line == "OK" || space == std::string::npos) continue;
    entries.push_back(Entry{std::stoull(line.substr(0, space)), line.substr(space + 1)});
  }
  return entries;
}

// The syslog socket the daemon finds at "/dev/log" under its root.
// Drains the socket all the time, as syslogd does: a daemon whose datagrams
// are not read blocks once the socket's queue is full.
class SyslogSink {
public:
  explicit SyslogSink(const std::string& path) : fd_(::socket(AF_UNIX, SOCK_DGRAM, 0)) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    path.copy(a.sun_path, sizeof a.sun_path - 1);
    bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    timeval limit = {0, 100000};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    reader_ = std::thread([this] {
      while (!stop_) {
        char buf[2048];
        const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
        if (n <= 0) continue;
        std::lock_guard<std::mutex> guard(mutex_);
        records_.emplace_back(buf, size_t(n));
      }
    });
  }
  ~SyslogSink() {
    stop_ = true;
    reader_.join();
    ::close(fd_);
  }
  bool bound() const { return bound_; }
  // Waits for a record that holds the text; returns that record.
  std::string await(const std::string& text) {
    std::string found;
    e2e::waitFor([&] {
      std::lock_guard<std::mutex> guard(mutex_);
      for (const std::string& r : records_) {
        if (r.find(text) == std::string::npos) continue;
        found = r;
        break;
      }
      return !found.empty();
    });
    return found;
  }

private:
  int fd_;
  bool bound_ = false;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::string> records_;
  std::thread reader_;
};

}  // namespace

// The watchdog's cadence is the loop's (its own tests); here the daemon
// starts it, pings it and stops it in order on either signal.
TEST(Startup, RunsWithTheWatchdogAndStopsInOrderOnSigtermAndSigint) {
  for (const int signo : {SIGTERM, SIGINT}) {
    Daemon daemon;
    ASSERT_TRUE(daemon.serve());
    Controller controller;
    ASSERT_TRUE(controller.connect(daemon.port()));
    controller.expectPing();
    Board::Sim::ControlClient control;
    ASSERT_TRUE(control.connect(3000, daemon.file(Board::Paths::SimControl)));
    std::vector<Entry> entries;
    ASSERT_TRUE(e2e::waitFor([&] { return (entries = journal(control)).size() >= 2; }));
    EXPECT_EQ(entries[0].text, "START");
    EXPECT_EQ(entries[1].text, "PING");
    EXPECT_EQ(e2e::readFile(daemon.pidFile()), std::to_string(daemon.pid()));

    // The stream outlives the daemon: its last write is read after it has gone.
    Board::Sim::ControlClient follower;
    ASSERT_TRUE(follower.connect(1000, daemon.file(Board::Paths::SimControl)));
    ASSERT_EQ(follower.command("follow watchdog").back(), "OK");
    daemon.signal(signo);
    // Read until the stream ends with the daemon; the bound only matters when it does not.
    std::string line, last;
    while (follower.readLine(line, e2e::PatienceMs)) last = line;
    EXPECT_EQ(last.substr(last.find(' ') + 1), "STOP") << signo;
    EXPECT_EQ(daemon.wait(), 0) << signo;
    EXPECT_TRUE(controller.seesClose());
    EXPECT_FALSE(e2e::exists(daemon.pidFile()));
    EXPECT_FALSE(e2e::exists(daemon.file(Board::Paths::SimControl))) << signo;
    EXPECT_EQ(e2e::count(daemon.err(), "Mux: terminating...\n"), 1u);
  }
}

TEST(Startup, AnnouncesItselfWithVersionAndPortAndWritesItsPidFile) {
  Daemon daemon;
  ASSERT_TRUE(daemon.serve());
  EXPECT_EQ(daemon.out(), "Starting server [" + version() + "], port=" + std::to_string(daemon.port()) + "\n");
  EXPECT_EQ(e2e::readFile(daemon.pidFile()), std::to_string(daemon.pid()));
  // No configuration file: nothing to complain about.
  Controller controller;
  ASSERT_TRUE(controller.connect(daemon.port()));
  controller.expectPing();
  EXPECT_EQ(daemon.err().find("traces"), std::string::npos) << daemon.err();
  EXPECT_TRUE(daemon.outHas("new connection from 127.0.0.1:"));
}

TEST(Startup, ReadsTheTracesOfItsConfigurationFile) {
  Daemon daemon;
  std::ofstream(daemon.file(Board::Paths::ConfigFile)) << "[traces]\nsignalling.isdn = 1\nsignalling.hdlc = maybe\n";
  ASSERT_TRUE(daemon.serve());
  EXPECT_TRUE(daemon.errHas("traces: optional key \"signalling.hdlc\" has invalid value=\"maybe\", line 3."));
  Controller controller;
  ASSERT_TRUE(controller.connect(daemon.port()));
  controller.expectPing();
}

// The board file scripts/run-server gives a developer's run, comments and all: a board with modems, a
// mixer unit and RTP channels, not an empty one.
// The daemon changes its working directory to the configuration directory: a
// relative root must still name the tree it named at start.
TEST(Startup, ARelativeRootIsTheDirectoryItNamedAtStart) {
  Daemon daemon;
  const std::filesystem::path root(daemon.root());
  daemon.workIn(root.parent_path());
  daemon.setenv("SERVER_ROOT", root.filename());
  std::filesystem::create_directories(daemon.file(Board::Paths::ConfigDir));
  std::ofstream(daemon.file(Board::Paths::ConfigDir) + "config.00000010-0000000000000020");
  ASSERT_TRUE(daemon.serve());
  EXPECT_EQ(e2e::readFile(daemon.pidFile()), std::to_string(daemon.pid()));
  const std::string monitoring = daemon.file(Board::Paths::MonitoringDir);
  EXPECT_TRUE(e2e::waitFor([&] { return e2e::exists(monitoring + "dip"); }));
  EXPECT_TRUE(
      e2e::waitFor([&] { return e2e::readFile(monitoring + "config_version") == "00000010-0000000000000020"; }));
  daemon.signal(SIGUSR2);
  EXPECT_TRUE(e2e::waitFor([&] { return e2e::exists(daemon.file(Board::Paths::StatusDump)); }));
}

TEST(Startup, TheTypicalBoardFileFitsTheSimulatedBoard) {
  Daemon daemon;
  const std::string file = daemon.file(Board::Paths::SimPowerOn);
  std::filesystem::create_directories(std::filesystem::path(file).parent_path());
  std::filesystem::copy_file(Testing::required("GW_SOURCE_DIR") + "/board/sim/board-sim.conf", file);
  ASSERT_TRUE(daemon.serve());
  Controller controller;
  ASSERT_TRUE(controller.connect(daemon.port()));
  const std::string typical =
      e2e::sig(e2e::NoSlot,
               "query : { boardMajor 0, boardMinor 0, rtp-g729 32, rtp-g723 32, rtp-g711 64, "
               "rtp-g711mcc 0, modem 8, mixer { " +
                   Testing::mixerUnit(0, 32, 64) +
                   " }, mux TRUE, "
                   "mcc-data 16, mcc-bri 8, mcc-trans 8, echoBus { }, t38-instances 0, digital-modems 0, "
                   "lin16 0, universal 64 }");
  controller.expect(e2e::cmd(9, e2e::NoSlot, "query : NULL"), {e2e::ok(9, e2e::NoSlot), typical});
  EXPECT_EQ(daemon.err().find("board-sim: power-on line"), std::string::npos) << daemon.err();
}

// Comments start at any word beginning with '#'; a '#' inside a word is the
// word's. A refused line is named by its number.
TEST(Startup, TheBoardFileTakesCommentsAfterCommandsAndNumbersTheLinesItRefuses) {
  Daemon daemon;
  const std::string file = daemon.file(Board::Paths::SimPowerOn);
  std::filesystem::create_directories(std::filesystem::path(file).parent_path());
  std::ofstream(file) << "# modems\n"
                         "mctl add 0 300 # the first\n"
                         "\n"
                         "mctl add 1 x\n"
                         "mctl add 2 302#3\n"
                         "  # indented\n"
                         "mctl add 4 304\t#tab\n"
                         "#mctl add 5 305\n";
  ASSERT_TRUE(daemon.serve());
  e2e::BoardControl control;
  ASSERT_TRUE(control.connect(daemon));
  const e2e::Lines modems = control("mctl modems");
  ASSERT_EQ(modems.size(), 2u);
  EXPECT_EQ(modems[0].rfind("0 channel=300 ", 0), 0u) << modems[0];
  EXPECT_EQ(modems[1].rfind("4 channel=304 ", 0), 0u) << modems[1];
  EXPECT_TRUE(
      daemon.errHas("board-sim: power-on line 4: mctl add 1 x: ERR bad channel: x\n"
                    "board-sim: power-on line 5: mctl add 2 302#3: ERR bad channel: 302#3\n"))
      << daemon.err();
  EXPECT_EQ(Testing::count(daemon.err(), "board-sim: power-on line"), 2u) << daemon.err();
}

TEST(CommandLine, MistakesHelpAndVersionEndTheProcessWithTheirTextAndStatus) {
  const std::string versionText = "server version: " + version() + "\n";
  const struct {
    std::vector<std::string> args;
    int status;
    bool usage;  // else the version
  } cases[] = {
      {{"--port", "0"}, 2, true},
      {{"--port", "65536"}, 2, true},
      {{"--port", "12x"}, 2, true},
      {{"--port", "-5"}, 2, true},
      {{"--port", " 5"}, 2, true},
      {{"--port="}, 2, true},
      {{"--port"}, 2, true},
      {{"-p", "20001"}, 2, true},
      {{"-p20001"}, 2, true},
      {{"--bogus"}, 2, true},
      {{"-x"}, 2, true},
      {{"--bogus", "--help"}, 2, true},
      {{"--help"}, 0, true},
      {{"-h"}, 0, true},
      {{"--help", "--bogus"}, 0, true},
      {{"-h", "--version"}, 0, true},
      {{"--version", "-h"}, 0, true},
      {{"--version"}, 2, false},
      {{"--version", "--port", "20002"}, 2, false},
  };
  for (const auto& c : cases) {
    Daemon daemon;
    daemon.start(c.args);
    EXPECT_EQ(daemon.wait(), c.status) << c.args[0];
    if (c.usage) {
      EXPECT_TRUE(Testing::matchesGolden(usage, daemon.out())) << c.args[0];
    } else {
      EXPECT_EQ(daemon.out(), versionText);
    }
    EXPECT_FALSE(e2e::exists(daemon.pidFile()));
  }
}

TEST(CommandLine, PortFormsAndClockControlOff) {
  for (const bool joined : {true, false}) {
    Daemon daemon;
    ASSERT_TRUE(daemon.serve([&](const std::string& port) -> std::vector<std::string> {
      if (joined) return {"--port=" + port, "--disable-clock"};
      return {"--disable-clock", "--port", port};
    }));
    const int port = daemon.port();
    ASSERT_TRUE(daemon.outHas("], port=" + std::to_string(port) + "\n"));
    Controller controller;
    ASSERT_TRUE(controller.connect(port));
    controller.expect(e2e::cmd(1, e2e::NoSlot, "ping : NULL"), {e2e::ok(1, e2e::NoSlot)});
  }
}

TEST(Signals, Sigusr2WritesTheStatusDumpEachTimeAfresh) {
  Daemon daemon;
  ASSERT_TRUE(daemon.serve());
  // Served once, so the listening socket is among the active handlers.
  Controller controller;
  ASSERT_TRUE(controller.connect(daemon.port()));
  controller.expectPing();
  const std::string dump = daemon.file(Board::Paths::StatusDump);
  // Complete once the table's closing delimiter and the empty line are there.
  auto written = [&] {
    const std::string text = e2e::readFile(dump);
    return text.size() > 3 && text.compare(text.size() - 3, 3, "+\n\n") == 0;
  };
  for (int round = 0; round < 2; ++round) {
    ::unlink(dump.c_str());
    daemon.signal(SIGUSR2);
    ASSERT_TRUE(e2e::waitFor(written));
    // The loop's part of the dump is its own test's; here the version and the real handlers.
    const std::string text = e2e::readFile(dump);
    // The title names the fields of every measurement line, in their order.
    const std::string title = text.substr(0, text.find('\n'));
    size_t at = 0;
    for (const char* field : {"microseconds", "min=", "max=", "avg=", "counter="}) {
      at = title.find(field, at);
      EXPECT_NE(at, std::string::npos) << field << " in " << title;
    }
    EXPECT_NE(text.find("\nversion : " + version() + "\n"), std::string::npos) << text;
    EXPECT_EQ(e2e::count(text, "version : "), 1u);
    EXPECT_NE(text.find("\npackets : 1024 free of 1024\n"), std::string::npos) << text;
    EXPECT_NE(text.find("|       AcceptorNet::OnSocketEvent       |            POLLIN            |"), std::string::npos)
        << text;
  }

  // A dump that cannot be written is reported, and the next request tries again.
  const std::string logDir = std::filesystem::path(dump).parent_path();
  ASSERT_EQ(std::system(("rm -rf '" + logDir + "'").c_str()), 0);
  daemon.signal(SIGUSR2);
  EXPECT_TRUE(daemon.errHas("dump status error\n"));
  ASSERT_EQ(::mkdir(logDir.c_str(), 0755), 0);
  daemon.signal(SIGUSR2);
  EXPECT_TRUE(e2e::waitFor(written));
  EXPECT_EQ(e2e::count(daemon.err(), "dump status error\n"), 1u);
}

TEST(Signals, SighupSendsTheResourcesAgain) {
  Daemon daemon;
  ASSERT_TRUE(daemon.serve());
  daemon.signal(SIGHUP);
  EXPECT_TRUE(daemon.errHas("update hardware resources\n"));
  Controller controller;
  ASSERT_TRUE(controller.connect(daemon.port()));
  controller.expect(e2e::cmd(9, e2e::NoSlot, "query : NULL"), {e2e::ok(9, e2e::NoSlot), e2e::resources("")});
  e2e::BoardControl control;
  ASSERT_TRUE(control.connect(daemon));
  control("mcc resources 0 0 0");
  daemon.signal(SIGHUP);
  controller.expectNext({e2e::resources("", 0, 0, 0)}, "SIGHUP");
  EXPECT_EQ(e2e::count(daemon.err(), "update hardware resources\n"), 2u);
}

TEST(Daemon, DetachesAndLogsToSyslogUnderItsIdentity) {
  Daemon daemon;
  SyslogSink syslog(daemon.file(Board::Paths::SyslogSocket));
  ASSERT_TRUE(syslog.bound());
  // The process started returns once the daemon has detached.
  ASSERT_TRUE(daemon.serveDetached());
  const std::string ident = "tvd-" + version();
  const std::string started =
      syslog.await(" " + ident + ": Starting server [" + version() + "], port=" + std::to_string(daemon.port()));
  ASSERT_FALSE(started.empty());
  // Standard output at notice of the daemon facility.
  EXPECT_EQ(started.rfind("<29>", 0), 0u) << started;
  EXPECT_EQ(daemon.out(), "");

  const std::string pid = e2e::readFile(daemon.pidFile());
  EXPECT_NE(pid, std::to_string(daemon.pid()));
  Controller controller;
  ASSERT_TRUE(controller.connect(daemon.port()));
  controller.expectPing();
  // The board's control socket stayed with the detached daemon when the parent left.
  Board::Sim::ControlClient control;
  ASSERT_TRUE(control.connect(1000, daemon.file(Board::Paths::SimControl)));
  EXPECT_EQ(control.command("devices").back(), "OK");

  ASSERT_EQ(::kill(std::stoi(pid), SIGTERM), 0);
  // The log stream at debug.
  const std::string stopping = syslog.await("Mux: terminating...");
  EXPECT_EQ(stopping.rfind("<31>", 0), 0u) << stopping;
  EXPECT_NE(stopping.find(" " + ident + ": "), std::string::npos) << stopping;
  EXPECT_TRUE(controller.seesClose());
  EXPECT_TRUE(e2e::waitFor([&] { return !e2e::exists(daemon.pidFile()); }));
  EXPECT_TRUE(e2e::waitFor([&] { return !e2e::exists(daemon.file(Board::Paths::SimControl)); }));
}
