// The daemon detached, logging to a system logger that stops reading: it
// keeps serving the controller and pinging the watchdog, ends on SIGTERM, and
// reports what the logger lost once it reads again.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <string>

#include "board/Paths.h"
#include "server/tests/Harness.h"
#include "testing/Loopback.h"

using namespace e2e;

namespace {

// A logger bound at "/dev/log" that reads only when asked to.
class Logger {
public:
  explicit Logger(const std::string& path) : fd_(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    path.copy(a.sun_path, sizeof a.sun_path - 1);
    bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  ~Logger() { ::close(fd_); }
  bool bound() const { return bound_; }
  // Reads until a record holds the text; the records read are gone.
  bool await(const std::string& text, int timeoutMs = 5000) {
    return waitFor(
        [&] {
          char buf[2048];
          for (pollfd p{fd_, POLLIN, 0}; ::poll(&p, 1, 0) == 1;) {
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n > 0 && std::string(buf, size_t(n)).find(text) != std::string::npos) return true;
          }
          return false;
        },
        timeoutMs);
  }

private:
  int fd_;
  bool bound_ = false;
};

TEST(StalledLogger, TheDaemonKeepsServingPingingAndStoppingAndCountsWhatWasLost) {
  Daemon daemon;
  Logger logger(daemon.file(Board::Paths::SyslogSocket));
  ASSERT_TRUE(logger.bound());
  const int port = Testing::freePort();
  daemon.start({"-D", "--port", std::to_string(port)});
  ASSERT_EQ(daemon.wait(), 0);
  Controller controller;
  ASSERT_TRUE(controller.connect(port));
  controller.expectPing();

  // Two lines for each frame that does not decode: far more than the logger's queue and the client's batch.
  for (int i = 0; i < 400; ++i) controller.sendHex("7f");
  controller.expectPing();
  BoardControl control;
  ASSERT_TRUE(control.connect(daemon));
  control("watchdog clear");
  EXPECT_TRUE(waitFor([&] { return control("watchdog journal").size() >= 2; }, 4000)) << "no watchdog pings";
  controller.expectPing();

  EXPECT_TRUE(logger.await(" records dropped"));
  const int pid = std::stoi(readFile(daemon.file(Board::Paths::RunDir) + "server.pid"));
  ASSERT_EQ(::kill(pid, SIGTERM), 0);
  EXPECT_TRUE(logger.await("Mux: terminating..."));
  EXPECT_TRUE(controller.seesClose());
  EXPECT_TRUE(waitFor([&] { return !exists(daemon.file(Board::Paths::RunDir) + "server.pid"); }));
}

}  // namespace
