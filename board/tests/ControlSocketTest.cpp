// The control socket: faults set from outside, several lines at once, the
// streaming of a follow, and its limits. The replies of each command are the
// in-process tests' (golden/control-lines.txt).

#include "board/sim/ControlClient.h"
#include "board/tests/Probe.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <set>
#include <sstream>

using Board::Sim::ControlClient;

namespace {

class ControlSocket : public ProbeBoard {
protected:
  void SetUp() override {
    ProbeBoard::SetUp();
    ASSERT_TRUE(client.connect(2000));
  }
  static int openWatchdog() { return open(Board::Paths::Watchdog, O_WRONLY); }
  bool listed(const std::string& line) {
    const Lines devices = client.command("devices");
    return std::find(devices.begin(), devices.end(), line) != devices.end();
  }

  ControlClient client;
};

// What /proc shows of a descriptor, "socket:[INODE]" for a simulated device.
std::string shown(int fd) {
  char target[64] = {};
  return ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, sizeof target - 1) > 0 ? target : "";
}

}  // namespace

TEST_F(ControlSocket, DevicesAndFaultsSetFromOutsideReachTheDaemon) {
  EXPECT_TRUE(listed("/dev/test-probe probe present open=0"));
  EXPECT_EQ(client.command("absent watchdog"), Lines{"OK"});
  EXPECT_EQ(openWatchdog(), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(client.command("present /dev/misc/gw-wd"), Lines{"OK"});
  const int fd = openWatchdog();
  ASSERT_GE(fd, 0);
  // Absence concerns opening: a descriptor already open keeps working.
  EXPECT_EQ(client.command("absent watchdog"), Lines{"OK"});
  EXPECT_TRUE(listed("/dev/misc/gw-wd watchdog absent open=1"));
  EXPECT_EQ(Board::write(fd, "START", 5), 5);

  EXPECT_EQ(client.command("fail watchdog write EIO"), Lines{"OK"});
  EXPECT_EQ(Board::write(fd, "PING", 4), -1);
  EXPECT_EQ(errno, EIO);
  EXPECT_EQ(client.command("watchdog journal").size(), 2u);  // START and OK: the refused write left no trace
  EXPECT_EQ(client.command("heal watchdog"), Lines{"OK"});
  EXPECT_EQ(Board::write(fd, "PING", 4), 4);
  // The watchdog has no requests at all.
  EXPECT_EQ(Board::ioctlValue(fd, Board::Request::io('W', 0), 0), -1);
  EXPECT_EQ(errno, ENOTTY);

  const int probe = open(ProbePath, O_RDWR);
  uint8_t word[4] = {0, 0, 0, 1};
  EXPECT_EQ(client.command("fail /dev/test-probe ioctl 2147762945 ENODEV"), Lines{"OK"});
  EXPECT_EQ(Board::ioctl(probe, ProbeRequest, word), -1);
  EXPECT_EQ(errno, ENODEV);
  // Only that request is refused.
  EXPECT_EQ(Board::ioctlValue(probe, ProbeValue, 1), 7);
  EXPECT_EQ(client.command("fail probe ioctl 0x20004302 5"), Lines{"OK"});
  EXPECT_EQ(Board::ioctlValue(probe, ProbeValue, 1), -1);
  EXPECT_EQ(errno, EIO);
  EXPECT_EQ(client.command("reset"), Lines{"OK"});
  EXPECT_EQ(Board::ioctl(probe, ProbeRequest, word), 0);
  EXPECT_EQ(Board::ioctlValue(probe, ProbeValue, 1), 7);
  const int again = openWatchdog();
  EXPECT_GE(again, 0);
  Board::close(again);
  Board::close(probe);
  Board::close(fd);
  EXPECT_TRUE(listed("/dev/misc/gw-wd watchdog present open=0"));
}

TEST_F(ControlSocket, FilesNameTheDeviceBehindEachSocketAsProcShowsIt) {
  const int watchdog = openWatchdog();
  const int probe = open(ProbePath);
  const int unit = open("/dev/test-unit12/ctl");
  ASSERT_TRUE(watchdog >= 0 && probe >= 0 && unit >= 0);
  const int copy = ::dup(probe);
  std::set<std::string> ours;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd"))
    ours.insert(shown(std::stoi(fd.path().filename().string())));
  // One line per file, however many descriptors it has, with the model's end, a socket of this process too.
  std::set<std::string> named;
  for (const std::string& line : client.command("files")) {
    std::istringstream words(line);
    std::string daemonEnd, path, modelEnd;
    if (!(words >> daemonEnd >> path >> modelEnd)) continue;
    named.insert(daemonEnd + " " + path);
    EXPECT_TRUE(ours.count(modelEnd) && modelEnd != daemonEnd) << line;
  }
  EXPECT_EQ(named, (std::set<std::string>{shown(watchdog) + " /dev/misc/gw-wd", shown(probe) + " /dev/test-probe",
                                          shown(unit) + " /dev/test-unit12/ctl"}));
  Board::close(probe);
  ::close(copy);
  Board::close(watchdog);
  const Lines left = client.command("files");
  ASSERT_EQ(left.size(), 2u);
  EXPECT_EQ(left[0].rfind(shown(unit) + " /dev/test-unit12/ctl socket:[", 0), 0u) << left[0];
  Board::close(unit);
  EXPECT_EQ(client.command("files"), Lines{"OK"});
}

TEST_F(ControlSocket, LinesSentTogetherAreAnsweredInOrderAndAnEndlessOneIsRefused) {
  ASSERT_TRUE(client.send("absent probe\r\n\n  \nfrobnicate\nhelp\n"));
  std::string line;
  ASSERT_TRUE(client.readLine(line, 2000));
  EXPECT_EQ(line, "OK");
  ASSERT_TRUE(client.readLine(line, 2000));
  EXPECT_EQ(line, "ERR unknown command: frobnicate");
  Lines help;
  while (client.readLine(line, 2000) && line != "OK") help.push_back(line);
  for (const char* usage : {"fail DEV ioctl REQUEST ERRNO", "watchdog journal", "probe sum A B [C [D]]",
                            "probe pair first N", "probe raw HEX"}) {
    EXPECT_NE(std::find(help.begin(), help.end(), usage), help.end()) << usage;
  }

  // An endless line is refused once, skipped to its end, and the next line is served.
  ASSERT_TRUE(client.send(std::string(3 * Board::Sim::ControlServer::MaxLine, 'x')));
  EXPECT_EQ(client.command("tail of the long line\r"), Lines{"ERR line too long"});
  EXPECT_EQ(client.command("devices").back(), "OK");
}

// A line is refused for its length alone (its end not counted), however it
// is cut into the reads of the board; one at the limit is run as a command.
TEST_F(ControlSocket, ALineOverTheLimitIsRefusedWhateverTheReadsAndTheNextIsServed) {
  const size_t limit = Board::Sim::ControlServer::MaxLine;
  const Lines tooLong{"ERR line too long"};
  const struct {
    size_t length;
    const char* end;
    Lines reply;
  } lines[] = {
      {limit, "\n", {std::to_string((limit - 12) / 2), "OK"}},
      {limit, "\r\n", {std::to_string((limit - 12) / 2), "OK"}},
      {limit + 1, "\n", tooLong},
      {limit + 1, "\r\n", tooLong},
      {5000, "\n", tooLong},
      {6000, "\r\n", tooLong},
      {65536, "\n", tooLong},
  };
  // Pieces each read on their own: the whole line at once, pieces smaller
  // than a read, and cuts just before and after the limit.
  const size_t pieces[] = {SIZE_MAX, 1000, limit - 1, limit + 1, limit + 2};
  for (const auto& c : lines) {
    for (size_t piece : pieces) {
      SCOPED_TRACE(std::to_string(c.length) + " bytes in pieces of " +
                   (piece == SIZE_MAX ? "all" : std::to_string(piece)));
      // "probe bytes 0000...": run, it counts the bytes its hex digits make.
      const std::string line = "probe bytes " + std::string(c.length - 12, '0') + c.end;
      for (size_t at = 0; at < line.size(); at += piece) {
        ASSERT_TRUE(client.send(line.substr(at, piece)));
        ASSERT_TRUE(client.drained(2000));
      }
      Lines reply;
      for (std::string l; reply.empty() || (reply.back() != "OK" && reply.back().rfind("ERR ", 0) != 0);) {
        ASSERT_TRUE(client.readLine(l, 2000));
        reply.push_back(l);
      }
      EXPECT_EQ(reply, c.reply);
      EXPECT_EQ(client.command("probe sum 1 2 3 4"), (Lines{"10", "OK"}));
    }
  }
}

TEST_F(ControlSocket, FollowSendsTheHistoryThenEveryNewWrite) {
  const int fd = openWatchdog();
  ASSERT_GE(fd, 0);
  ASSERT_EQ(Board::write(fd, "START", 5), 5);
  const Lines reply = client.command("follow watchdog");
  ASSERT_EQ(reply.size(), 2u);
  EXPECT_NE(reply[0].find(" START"), std::string::npos);
  EXPECT_EQ(reply[1], "OK");
  ASSERT_EQ(Board::write(fd, "PING", 4), 4);
  ASSERT_EQ(Board::write(fd, "STOP", 4), 4);
  Board::close(fd);
  std::string line;
  ASSERT_TRUE(client.readLine(line, 2000));
  EXPECT_EQ(line.substr(line.find(' ')), " PING");
  ASSERT_TRUE(client.readLine(line, 2000));
  EXPECT_EQ(line.substr(line.find(' ')), " STOP");
  // The connection now only streams: further lines are not read as commands.
  EXPECT_TRUE(client.send("devices\n"));
  EXPECT_FALSE(client.readLine(line, 100));
}

TEST_F(ControlSocket, ConnectionsBeyondTheLimitAreTurnedAway) {
  std::vector<std::unique_ptr<ControlClient>> more;
  for (size_t i = 0; i < Board::Sim::ControlServer::MaxClients + 2; ++i) {
    more.push_back(std::make_unique<ControlClient>());
    ASSERT_TRUE(more.back()->connect(2000));
  }
  size_t refused = 0;
  for (auto& c : more) refused += c->command("devices") == Lines{"ERR too many connections"};
  EXPECT_GE(refused, 3u);
  more.clear();
  // Closed connections free their places.
  ControlClient again;
  ASSERT_TRUE(again.connect(2000));
  EXPECT_EQ(again.command("devices").back(), "OK");
}
