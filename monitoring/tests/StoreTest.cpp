// The state store and its files under $SERVER_ROOT/var/monitoring/.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include "board/Paths.h"
#include "foundation/config/TraceCtl.h"
#include "monitoring/MonitoringDataHolder.h"
#include "testing/Capture.h"
#include "testing/Loop.h"

namespace {

namespace fs = std::filesystem;

// Not a constant made at start: the root is placed when the program starts
// running, and is read once.
std::string dir() { return Board::Paths::path(Board::Paths::MonitoringDir); }

LGCP::DisplayParams display(const std::string& text) {
  LGCP::DisplayParams params;
  EXPECT_TRUE(params.setFromValueNotation(text)) << text;
  return params;
}

std::string content(const std::string& name) {
  std::ifstream in(dir() + name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return in ? text.str() : "<missing>";
}

// Every path under the root but the framers' files, so that a file written
// anywhere shows.
std::set<std::string> tree() {
  std::set<std::string> paths;
  for (const auto& entry : fs::recursive_directory_iterator(Board::Paths::root()))
    paths.insert(entry.path().string().substr(Board::Paths::root().size()));
  paths.erase(paths.lower_bound("/proc"), paths.lower_bound("/proc0"));
  return paths;
}

class Store : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_FALSE(Board::Paths::root().empty()) << "SERVER_ROOT must name the test's own root";
    fs::remove_all(Board::Paths::root());
    fs::create_directories(Board::Paths::root() + "/var");
    umask(022);
    const std::string framers = Board::Paths::path(Board::Paths::FramerStatus);
    fs::create_directories(framers);
    for (const char* n : {"0", "2"}) std::ofstream(framers + n) << "Current state           : Synchronized\n";
    traces.monitoring_internal = true;
    store = std::make_unique<MonitoringDataHolder>();
    own = inet_ntoa(store->ownAddress.address());
  }
  void TearDown() override { traces.monitoring_internal = false; }

  Testing::Capture log{std::clog};
  std::unique_ptr<MonitoringDataHolder> store;
  std::string own;
};

TEST_F(Store, EveryFileHoldsItsValueAloneAndAnEqualValueWritesNothing) {
  EXPECT_FALSE(store->setPowerStatus(LGCP::POWERStatus()));  // unknown, as at start
  EXPECT_TRUE(store->setDipValue(0));
  EXPECT_TRUE(store->setConfigVersion(0x1A, 0x2B));
  LGCP::POWERStatus both;
  both = LGCP::POWERStatus::both;
  EXPECT_TRUE(store->setPowerStatus(both));
  for (const char* text :
       {"board : boardStatus : { position 3, version '31 2e 32 00 39'H, status ready, type fxs }",
        "board : boardStatus : { position -1, version ''H, status none, type e0 }",
        "emPhone : phoneStatus : { id 0, panelSV '41'H, ctrlSV '42'H, fpgaSV ''H, status ready, powerStatus main, "
        "mode sleep, hookStatus connected, baseStatus disconnected }",
        "termCounter : { owner router, cnt 5 }", "termCounter : { owner extBoard, ownerId 1, cnt -7 }",
        "termCounter : { owner extBoard, ownerId 2, cnt 9 }", "termCounter : { owner extBoard, cnt 11 }",
        "termCounter : { owner none, cnt 12 }",
        "snmp-set : { commands { { uniq 1, id name : { section \"sec\", name \"param\", index 2 }, value \"abc\" }, "
        "{ uniq 2, id oid : \"1.3.6\", value \"x\" } } }",
        "board : boardChannelStatus : { position 4, channel 1, status { callerID ''H, calledID ''H } }",
        "emPhone : phoneChannelStatus : { phoneId 5, channel 1 }"})
    store->setDisplayStatus(display(text));

  const std::pair<const char*, const char*> files[] = {
      {"dip", "0"},
      {"config_version", "0000001a-000000000000002b"},
      {"powerstatus", "3"},
      {"board3", "3\n1.2\n2\n"},
      {"board-1", "0\n\n4\n"},
      {"emphone0", "A\nB\n\n2\n2\n2\n1\n2\n"},
      {"term_cnts/router", "5"},
      {"term_cnts/board1", "-7"},
      {"term_cnts/board2", "9"},
      {"sec/2/param", "abc"},
  };
  std::set<std::string> expected = {"/var", "/var/monitoring", "/var/monitoring/term_cnts", "/var/monitoring/sec",
                                    "/var/monitoring/sec/2"};
  for (const auto& [name, text] : files) {
    EXPECT_EQ(content(name), text) << name;
    expected.insert(std::string("/var/monitoring/") + name);
  }
  EXPECT_EQ(tree(), expected);  // no temporary left, nothing for channels, none or extBoard without id
  EXPECT_EQ(fs::status(dir() + "sec/2").permissions(), fs::perms(0755));
  EXPECT_EQ(store->termCounters.size(), 5u);
  EXPECT_EQ(store->boards.size(), 2u);
  EXPECT_EQ(store->snmpCommands.get_commands().size(), 2u);

  // Equal values write nothing.
  for (const auto& file : files) fs::remove(dir() + file.first);
  EXPECT_FALSE(store->setDipValue(0));
  EXPECT_FALSE(store->setConfigVersion(0x1A, 0x2B));
  EXPECT_FALSE(store->setPowerStatus(both));
  EXPECT_FALSE(store->setTemperature(""));
  EXPECT_TRUE(store->setTemperature("41"));
  EXPECT_FALSE(store->setTemperature("41"));
  EXPECT_EQ(tree().count("/var/monitoring/dip") + tree().count("/var/monitoring/powerstatus"), 0u);

  // A report replaces the kept record; an oid keeps its one entry.
  store->setDisplayStatus(display("board : boardStatus : { position 3, version '32'H, status waitBoard, type isdn }"));
  store->setDisplayStatus(display("snmp-set : { commands { { uniq 9, id oid : \"1.3.6\", value \"y\" } } }"));
  EXPECT_EQ(content("board3"), "2\n2\n1\n");
  EXPECT_EQ(store->boards.size(), 2u);
  EXPECT_EQ(store->snmpCommands.get_commands()[1].get_value().getValue(), "y");
  EXPECT_EQ(log.str(), "");
  ASSERT_EQ(store->framers.size(), 2u);  // those whose driver file exists
  EXPECT_EQ(store->framers.back().number, 3);
}

TEST_F(Store, ControllerDirectoriesAndTheSelfLink) {
  const auto report = [&](const std::string& host, const char* status) {
    return store->setControllerStatus(
        display("controller : { host { iaddr \"" + host + "\", port 7 }, status " + status + " }").get_controller());
  };
  EXPECT_TRUE(report(own, "ok"));
  EXPECT_EQ(content("controller/" + own + "/status"), "1");
  EXPECT_EQ(fs::read_symlink(dir() + "controller/self"), dir() + "controller/" + own);
  EXPECT_EQ(store->controllerStatus.getValue(), HSP::ControllerStatus::ok);
  fs::remove(dir() + "controller/" + own + "/status");
  EXPECT_FALSE(report(own, "ok"));
  EXPECT_EQ(content("controller/" + own + "/status"), "<missing>");
  EXPECT_TRUE(report(own, "notrun"));
  EXPECT_EQ(content("controller/" + own + "/status"), "5");

  // Another host is kept and written, but is not the own controller.
  const std::string other = own == "10.9.9.9" ? "10.9.9.8" : "10.9.9.9";
  EXPECT_FALSE(report(other, "active"));
  EXPECT_FALSE(report("no address", "standby"));
  EXPECT_EQ(content("controller/" + other + "/status"), "2");
  EXPECT_EQ(content("controller/0.0.0.0/status"), "3");
  EXPECT_EQ(fs::read_symlink(dir() + "controller/self"), dir() + "controller/" + own);
  EXPECT_EQ(store->controllers.size(), 3u);
  EXPECT_EQ(store->controllerStatus.getValue(), HSP::ControllerStatus::notrun);
  EXPECT_EQ(log.str(), "New controller " + own + " status - ok\nNew controller " + own + " status - notrun\n" +
                           "New controller " + other + " status - active\nNew controller 0.0.0.0 status - standby\n");

  // A stale link of an earlier run is kept, and the failure said.
  store.reset();
  fs::remove_all(dir() + "controller/" + own);
  store = std::make_unique<MonitoringDataHolder>();
  log.clear();
  EXPECT_TRUE(report(own, "ok"));
  EXPECT_EQ(log.str(), "New controller " + own + " status - ok\nFAIL create symlink to monitoring catalog <" + dir() +
                           "controller/" + own + "> with code=17\n");
}

TEST_F(Store, ControllerLossTakesTheBoardsAndStartAndExitTakeTheTopFiles) {
  store->setDisplayStatus(display("board : boardStatus : { position 1, version ''H, status ready, type fxs }"));
  store->setDisplayStatus(display("board : boardStatus : { position 12, version ''H, status ready, type fxs }"));
  store->setDisplayStatus(display("termCounter : { owner router, cnt 5 }"));
  store->setDipValue(7);
  store->ClearControllerFiles();
  EXPECT_TRUE(store->boards.empty());
  EXPECT_EQ(log.str(), "remove monitoring info: board1\nremove monitoring info: board12\n");
  EXPECT_EQ(tree(), (std::set<std::string>{"/var", "/var/monitoring", "/var/monitoring/dip",
                                           "/var/monitoring/term_cnts", "/var/monitoring/term_cnts/router"}));

  // Files and empty directories go; a directory with files stays whole.
  fs::create_directory(dir() + "empty");
  store.reset();
  store = std::make_unique<MonitoringDataHolder>();
  EXPECT_EQ(tree(), (std::set<std::string>{"/var", "/var/monitoring", "/var/monitoring/term_cnts",
                                           "/var/monitoring/term_cnts/router"}));
}

TEST_F(Store, SetCommandsNamingPathsOutsideTheTreeWriteNothing) {
  const std::set<std::string> before = tree();
  const std::pair<std::string, std::string> ids[] = {
      {"..", "x"},
      {".", "x"},
      {"a/b", "x"},
      {"", "x"},
      {"sec", "../../escape"},
      {"sec", ".."},
      {"sec", ""},
      {"sec", std::string("a\0b", 3)},
  };
  for (const auto& [section, name] : ids) {
    MON::SnmpSetCommands commands;
    MON::SnmpSetCommand command;
    MON::IniName& id = command.get_id().select_name();
    id.set_section(section);
    id.set_name(name);
    id.set_index(1);
    command.set_value("v");
    commands.get_commands().push_back(command);
    log.clear();
    store->setSnmpCommands(commands);
    EXPECT_EQ(log.str(), "FAIL set command path <" + section + "/1/" + name + "> leaves the monitoring catalog\n");
  }
  EXPECT_EQ(tree(), before);
  EXPECT_EQ(store->snmpCommands.get_commands().size(), std::size(ids));  // still kept for the agents
}

TEST_F(Store, AFileThatCannotBeMadeIsLoggedAndTheValueKept) {
  fs::remove_all(dir());
  EXPECT_TRUE(store->setDipValue(1));
  store->setDisplayStatus(display("board : boardStatus : { position 2, version ''H, status ready, type fxs }"));
  EXPECT_EQ(store->dipValue, 1);
  EXPECT_TRUE(store->boards.empty());
  EXPECT_EQ(log.str(), "FAIL create temporary file <" + dir() + "dip> with code=2\nFAIL create temporary file <" +
                           dir() + "board2> with code=2\n");

  // A file that cannot be replaced keeps what it had, and no temporary stays.
  fs::create_directories(dir() + "powerstatus/x");
  const std::set<std::string> before = tree();
  log.clear();
  LGCP::POWERStatus main;
  main = LGCP::POWERStatus::main;
  EXPECT_TRUE(store->setPowerStatus(main));
  EXPECT_EQ(log.str(), "FAIL rename temporary file <" + dir() + "powerstatus> with code=21\n");
  EXPECT_EQ(tree(), before);
}

}  // namespace
