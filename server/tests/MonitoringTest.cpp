// The monitoring service in the real daemon, with a stand-in SNMP agent
// configured: the files under /var/monitoring/ follow the simulated board,
// every monitored item reaches the agent, and the controller hears the power
// state and has its display command answered. The agent runs on this
// process's own loop.

#include <gtest/gtest.h>
#include <signal.h>

#include <cctype>
#include <filesystem>
#include <fstream>

#include "board/Paths.h"
#include "monitoring/tests/StandInAgent.h"
#include "server/tests/Harness.h"
#include "testing/Loop.h"

using namespace e2e;

namespace {

// Every item's column, as the agent is sent it.
const char* const columns[] = {"driverBuild",       "softwareBuild",        "powerStatus",        "controllerStatus",
                               "gatewayDip",        "gatewayConfigVersion", "extBoardStatus",     "extBoardSoftVer",
                               "extBoardType",      "emPhonePanelSoftVer",  "emPhoneCtrlSoftVer", "emPhoneFpgaSoftVer",
                               "emPhoneStatus",     "emPhonePowerStatus",   "emPhoneMode",        "emPhoneHookStatus",
                               "emPhoneBaseStatus", "routerTermCnt",        "controllerTermCnt",  "serverTermCnt",
                               "extBoardTermCnt",   "e1Connected",          "e1StatusDsc",        "e1SignalLoss",
                               "e1FrameAlignLoss",  "e1NegSlipCount",       "e1PosSlipCount",     "sgBuildVersion",
                               "sgFPGAVersion",     "sgBootVersion",        "sgBoardVersion",     "ifDescr",
                               "ifAdminStatus",     "ifOperStatus",         "temperature"};
// The first of them that only the controller's display records bring.
constexpr size_t FirstRecordColumn = 6, RecordColumns = 15;

class Monitoring : public ::testing::Test {
protected:
  void SetUp() override {
    const std::string port = std::to_string(agent.port);
    write(Board::Paths::ConfigFile, "", "[snmpagent]\nhost = 127.0.0.1:" + port + "\nname = kelo\n");
    write(Board::Paths::FramerStatus, "0", "Current state           : Synchronized\nLoss of Signal          : no\n");
    write(Board::Paths::BuildVersion, "", "3.1\n");
    write(Board::Paths::Temperature, "", "40 C\n");
    write(Board::Paths::VoiceVersion, "", "Voice 1.2 2024-05-01 r5\n");
    write(Board::Paths::ConfigDir, "config.00000010-0000000000000020", "");
    ASSERT_TRUE(daemon.serve());
    ASSERT_TRUE(control.connect(daemon));
  }

  void write(const char* fixed, const std::string& name, const std::string& text) {
    const std::string path = daemon.file(fixed) + name;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << text;
  }
  std::string monitored(const std::string& name) { return readFile(daemon.file(Board::Paths::MonitoringDir) + name); }
  // Runs this process's loop, where the agent lives, until the condition holds.
  bool until(const std::function<bool()>& condition) { return Testing::runUntil(condition, PatienceMs); }
  // What the agent received, its bytes outside printable ASCII as dots.
  std::string received() const {
    std::string text;
    for (const std::string& frame : agent.frames)
      for (char c : frame) text += std::isprint(static_cast<unsigned char>(c)) ? c : '.';
    return text;
  }
  bool got(const std::string& text) const { return received().find(text) != std::string::npos; }

  // This process's loop says when each wait ends; that is no part of the test.
  Testing::Capture loopLog{std::clog};
  Testing::StandInAgent agent;
  Daemon daemon;
  e2e::BoardControl control;
  Controller controller;
};

TEST_F(Monitoring, FilesAndAgentFollowTheBoardAndTheControllerIsAnswered) {
  // The board's first checks reach the files and the agent.
  ASSERT_TRUE(until([&] { return got("Synchronized") && got("3.1.") && got("40") && got("1.2 [2024-05-01 r5]"); }))
      << received();
  EXPECT_EQ(monitored("config_version"), "00000010-0000000000000020");
  for (size_t i = 0; i < std::size(columns); ++i)
    EXPECT_EQ(got(columns[i]), i < FirstRecordColumn || i >= FirstRecordColumn + RecordColumns) << columns[i];

  control("hal panel dip 0x07");
  control("hal panel power 1");
  ASSERT_TRUE(until([&] { return monitored("dip") == "7" && monitored("powerstatus") == "1"; }));
  ASSERT_TRUE(until([&] { return got("gatewayDip...7"); })) << received();

  // The controller hears the power state; its display records are kept, shown and published.
  controller.keepPower(true);
  ASSERT_TRUE(controller.connect(daemon.port()));
  controller.expectNext({sig(NoSlot, "power : standby")}, "connect");
  const std::string displays[] = {
      "framer : { e1 0, info line : TRUE }",
      "controller : { host { iaddr \"127.0.0.1\", port 0 }, status active }",
      "board : boardStatus : { position 1, version '312e30'H, status ready, type isdn }",
      "emPhone : phoneStatus : { id 0, panelSV '50'H, ctrlSV '43'H, fpgaSV '46'H, status ready, powerStatus main, "
      "mode active, hookStatus connected, baseStatus connected }",
      "termCounter : { owner router, cnt 3 }",
      "termCounter : { owner controller, cnt 4 }",
      "termCounter : { owner server, cnt 5 }",
      "termCounter : { owner extBoard, ownerId 1, cnt 6 }",
  };
  for (const std::string& display : displays)
    controller.expect(cmd(NoSeq, NoSlot, "display : " + display), {ok(NoSeq, NoSlot)});
  EXPECT_EQ(control("hal panel leds"), Lines{"0x03"});
  EXPECT_EQ(monitored("controller/127.0.0.1/status"), "2");
  EXPECT_EQ(monitored("board1"), "3\n1.0\n1\n");
  EXPECT_EQ(monitored("term_cnts/board1"), "6");
  ASSERT_TRUE(until([&] { return got("extBoardTermCnt"); }));
  for (const char* column : columns) EXPECT_TRUE(got(column)) << column;

  // An E1 trunk's status changes its framer: everything goes to the agent again.
  const size_t before = agent.frames.size();
  control("maintenance set 0 state 2");
  ASSERT_TRUE(until([&] { return got("No Carrier") && agent.frames.size() > before + 2; })) << received();

  // The controller leaves: its boards go. At exit the files go.
  controller.close();
  ASSERT_TRUE(waitFor([&] { return !exists(daemon.file(Board::Paths::MonitoringDir) + "board1"); }));
  daemon.signal(SIGTERM);
  EXPECT_EQ(daemon.wait(5000), 0);
  EXPECT_FALSE(exists(daemon.file(Board::Paths::MonitoringDir) + "dip"));
}

}  // namespace
