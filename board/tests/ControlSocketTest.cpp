#include "board/Board.h"
#include "board/Paths.h"
#include "board/sim/ControlClient.h"
#include "board/sim/Sim.h"
#include "board/tests/Probe.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <string>
#include <vector>

using Board::Sim::ControlClient;
using Lines = std::vector<std::string>;

namespace {

class ControlSocket : public ::testing::Test {
protected:
  void SetUp() override {
    Board::Sim::install(std::make_unique<Probe>("probe", "/dev/test-probe", true));
    Board::Sim::reset();
    ASSERT_TRUE(client.connect(2000));
  }
  int openWatchdog() { return Board::open(Board::Paths::path(Board::Paths::Watchdog).c_str(), O_WRONLY); }

  ControlClient client;
};

}  // namespace

TEST_F(ControlSocket, DevicesListsEveryModelWithItsState) {
  const int fd = openWatchdog();
  ASSERT_GE(fd, 0);
  const Lines reply = client.command("devices");
  EXPECT_NE(std::find(reply.begin(), reply.end(), "/dev/misc/gw-wd watchdog present open=1"), reply.end());
  EXPECT_NE(std::find(reply.begin(), reply.end(), "/dev/test-probe probe present open=0"), reply.end());
  EXPECT_EQ(reply.back(), "OK");
  Board::close(fd);
  EXPECT_EQ(client.command("absent /dev/misc/gw-wd"), Lines{"OK"});
  const Lines after = client.command("devices");
  EXPECT_NE(std::find(after.begin(), after.end(), "/dev/misc/gw-wd watchdog absent open=0"), after.end());
}

TEST_F(ControlSocket, FaultsSetFromOutsideReachTheDaemon) {
  EXPECT_EQ(client.command("absent watchdog"), Lines{"OK"});
  EXPECT_EQ(openWatchdog(), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(client.command("present watchdog"), Lines{"OK"});
  const int fd = openWatchdog();
  ASSERT_GE(fd, 0);
  // Absence concerns opening: a descriptor already open keeps working.
  EXPECT_EQ(client.command("absent watchdog"), Lines{"OK"});
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

  const int probe = Board::open(Board::Paths::path("/dev/test-probe").c_str(), O_RDWR);
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
}

TEST_F(ControlSocket, BadLinesAreAnsweredAndTheConnectionGoesOn) {
  EXPECT_EQ(client.command("frobnicate now"), Lines{"ERR unknown command: frobnicate"});
  EXPECT_EQ(client.command("absent /dev/nothing"), Lines{"ERR unknown device: /dev/nothing"});
  EXPECT_EQ(client.command("absent"), Lines{"ERR usage: absent DEV"});
  EXPECT_EQ(client.command("fail watchdog ioctl 0x10000000 EIO extra"),
            Lines{"ERR usage: fail DEV ioctl REQUEST ERRNO | fail DEV write ERRNO"});
  EXPECT_EQ(client.command("fail watchdog read EIO"),
            Lines{"ERR usage: fail DEV ioctl REQUEST ERRNO | fail DEV write ERRNO"});
  EXPECT_EQ(client.command("fail watchdog ioctl 0x1zz EIO"), Lines{"ERR bad request number: 0x1zz"});
  EXPECT_EQ(client.command("fail watchdog ioctl 0x100000000 EIO"), Lines{"ERR bad request number: 0x100000000"});
  EXPECT_EQ(client.command("fail watchdog ioctl -1 EIO"), Lines{"ERR bad request number: -1"});
  EXPECT_EQ(client.command("fail watchdog write EWHAT"), Lines{"ERR bad errno: EWHAT"});
  EXPECT_EQ(client.command("fail watchdog write 0"), Lines{"ERR bad errno: 0"});
  EXPECT_EQ(client.command("watchdog bark"), Lines{"ERR unknown command: watchdog bark"});
  EXPECT_EQ(client.command("watchdog journal please"), Lines{"ERR usage: watchdog journal"});

  // An endless line is refused once, skipped to its end, and the next line is served.
  ASSERT_TRUE(client.send(std::string(3 * Board::Sim::ControlServer::MaxLine, 'x')));
  EXPECT_EQ(client.command("tail of the long line\r"), Lines{"ERR line too long"});
  EXPECT_EQ(client.command("devices").back(), "OK");
  // A follow from inside the process has no connection to stream on.
  EXPECT_EQ(Board::Sim::control("follow watchdog"), Lines{"ERR follow needs a control connection"});
}

TEST_F(ControlSocket, LinesSentTogetherAreAnsweredInOrder) {
  ASSERT_TRUE(client.send("absent probe\r\n\n  \nfrobnicate\nhelp\n"));
  std::string line;
  ASSERT_TRUE(client.readLine(line, 2000));
  EXPECT_EQ(line, "OK");
  ASSERT_TRUE(client.readLine(line, 2000));
  EXPECT_EQ(line, "ERR unknown command: frobnicate");
  Lines help;
  while (client.readLine(line, 2000) && line != "OK") help.push_back(line);
  EXPECT_NE(std::find(help.begin(), help.end(), "fail DEV ioctl REQUEST ERRNO"), help.end());
  EXPECT_NE(std::find(help.begin(), help.end(), "watchdog journal"), help.end());
  EXPECT_NE(std::find(help.begin(), help.end(), "probe last"), help.end());
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
  std::string line;
  for (size_t i = 0; i < Board::Sim::ControlServer::MaxClients + 2; ++i) {
    more.push_back(std::make_unique<ControlClient>());
    ASSERT_TRUE(more.back()->connect(2000));
  }
  size_t refused = 0;
  for (auto& c : more) {
    const Lines reply = c->command("devices");
    if (reply.empty()) continue;
    if (reply == Lines{"ERR too many connections"}) ++refused;
  }
  EXPECT_GE(refused, 3u);
  more.clear();
  // Closed connections free their places.
  ControlClient again;
  ASSERT_TRUE(again.connect(2000));
  EXPECT_EQ(again.command("devices").back(), "OK");
}
