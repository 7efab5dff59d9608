// The daemon detached, logging to a system logger that stops reading: it
// keeps serving the controller and pinging the watchdog, ends on SIGTERM, and
// reports what the logger lost once it reads again.

#include <gtest/gtest.h>
#include <signal.h>

#include "board/Paths.h"
#include "foundation/log/tests/LogSocket.h"
#include "server/tests/Harness.h"

using namespace e2e;

namespace {

TEST(StalledLogger, TheDaemonKeepsServingPingingAndStoppingAndCountsWhatWasLost) {
  Daemon daemon;
  LogSocket logger(SOCK_DGRAM, daemon.file(Board::Paths::SyslogSocket));
  ASSERT_TRUE(daemon.serveDetached());
  Controller controller;
  ASSERT_TRUE(controller.connect(daemon.port()));
  controller.expectPing();

  // Two lines for each frame that does not decode: far more than the logger's queue and the client's batch.
  for (int i = 0; i < 400; ++i) controller.sendHex("7f");
  controller.expectPing();
  BoardControl control;
  ASSERT_TRUE(control.connect(daemon));
  control("watchdog clear");
  EXPECT_TRUE(waitFor([&] { return control("watchdog journal").size() >= 2; })) << "no watchdog pings";
  controller.expectPing();

  // The logger reads again: what it held back comes, then the count of what was lost.
  const auto logged = [&](const std::string& text) {
    return waitFor([&] {
      for (const std::string& record : logger.take())
        if (record.find(text) != std::string::npos) return true;
      return false;
    });
  };
  EXPECT_TRUE(logged(" records dropped"));
  ASSERT_EQ(::kill(std::stoi(readFile(daemon.pidFile())), SIGTERM), 0);
  EXPECT_TRUE(logged("Mux: terminating..."));
  EXPECT_TRUE(controller.seesClose());
  EXPECT_TRUE(waitFor([&] { return !exists(daemon.pidFile()); }));
}

}  // namespace
