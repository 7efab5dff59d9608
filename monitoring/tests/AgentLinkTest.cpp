// The SNMP agent links and the item publishing, against stand-in agents on
// loopback, with the loop clock pinned.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "board/Paths.h"
#include "foundation/os/Version.h"
#include "monitoring/MonitoringPublisher.h"
#include "monitoring/tests/MonSummary.h"
#include "monitoring/tests/StandInAgent.h"
#include "testing/Capture.h"
#include "testing/Golden.h"
#include "testing/Loop.h"

namespace {

namespace fs = std::filesystem;
using Testing::runFor;
using Testing::runUntil;
using Testing::StandInAgent;

std::string vector(const std::string& id) { return Testing::monVector(id); }
std::string hex(const std::string& bytes) { return Testing::hex(bytes); }
std::string summary(const std::string& payload) { return Testing::monSummary(payload); }

// The fixture stands in for the service: told of each connection, it asks
// for the full refresh when the test wants one.
class AgentLink : public ::testing::Test, public ISnmpAgentNotify {
protected:
  void OnSnmpAgentConnect(const std::string& name) override {
    names.push_back(name);
    if (refresh) publisher->RequestRefresh();
  }
  void SetUp() override {
    ASSERT_FALSE(Board::Paths::root().empty());
    fs::remove_all(Board::Paths::root());
    fs::create_directories(Board::Paths::root() + "/var");
    fs::create_directories(Board::Paths::root() + "/proc/voice");
    store = std::make_unique<MonitoringDataHolder>();
    publisher = std::make_unique<MonitoringPublisher>(*store, ctrl);
  }
  // One subsection per agent: its "host" and "name" lines.
  void configure(const std::vector<std::string>& agents) {
    std::stringstream text;
    for (const std::string& lines : agents) text << "[snmpagent]\n" << lines;
    IniFile::File file;
    text >> file;
    ctrl.CreateInstances(file["snmpagent"]);
    ctrl.Bind(this);
  }
  // A display command's value, in value notation, to the store.
  void show(const std::string& text) {
    LGCP::DisplayParams params;
    ASSERT_TRUE(params.setFromValueNotation(text)) << text;
    store->setDisplayStatus(params);
  }
  // The agent's lines of the log stream, without its prefix.
  std::string agentLog(const std::string& prefix) {
    std::istringstream lines(log.str());
    std::string line, kept;
    while (std::getline(lines, line))
      if (line.compare(0, prefix.size(), prefix) == 0) kept += line.substr(prefix.size()) + '\n';
    return kept;
  }

  Testing::Capture out{std::cout}, log{std::clog}, err{std::cerr};
  Testing::PinnedClock clock;
  std::unique_ptr<MonitoringDataHolder> store;
  SnmpAgentCtrl ctrl;
  std::unique_ptr<MonitoringPublisher> publisher;
  bool refresh = false;
  std::vector<std::string> names;
};

TEST_F(AgentLink, PingsAfterEachSendDropsASilentAgentAndReconnects) {
  StandInAgent agent;
  const std::string prefix = "snmpagent.kelo 127.0.0.1:" + std::to_string(agent.port) + ": ";
  configure({"host = 127.0.0.1:" + std::to_string(agent.port) + "\nname = kelo\n"});
  ASSERT_TRUE(runUntil([&] { return agent.linked() && names.size() == 1; }));
  ctrl.Send(SnmpAgentCtrl::temperature, "41");
  ASSERT_TRUE(runUntil([&] { return agent.frames.size() == 1; }));

  // The reads of the link's socket: each answer is one.
  const auto reads = [&] { return ctrl.agents().front()->connection()->get_read_measure().counter(); };

  // A ping 5 s after the last send; any answer keeps the link, even one
  // that does not decode or is no answer.
  for (int ping = 1; ping <= 8; ++ping) {
    agent.answer = ping == 3 ? "" : ping == 5 ? vector("MON-v0012") : vector("MON-v0022");
    clock.advance(4999);
    runFor(20);
    ASSERT_EQ(agent.frames.size(), size_t(ping)) << ping;
    const uint32_t readsBefore = reads();
    clock.advance(1);
    ASSERT_TRUE(runUntil([&] { return agent.frames.size() == size_t(ping) + 1; })) << ping;
    EXPECT_EQ(hex(agent.frames.back()), vector("MON-v0012"));
    // The answer read before the clock moves on, or its stamp would be a later one.
    ASSERT_TRUE(runUntil([&] { return reads() > readsBefore; })) << ping;
  }
  const uint32_t lastAnswer = Mux::milliseconds();
  EXPECT_EQ(err.str(), prefix + "receive : decode error!\n" + prefix + "receive unknown message type\n");

  // Silent: the seventh ping after the last answer is sent, then the link dropped.
  agent.answerPings = false;
  for (int ping = 1; ping <= 7; ++ping) {
    clock.advance(5000);
    ASSERT_TRUE(runUntil([&] { return agent.frames.size() == size_t(9 + ping); })) << ping;
    // The agent reads the close on a later pass: waited for, not a fixed while.
    if (ping < 7) {
      runFor(20);
    } else {
      runUntil([&] { return !agent.linked(); });
    }
    EXPECT_EQ(agent.linked(), ping < 7) << ping;
  }
  ASSERT_TRUE(runUntil([&] { return agentLog(prefix).find("lost") != std::string::npos; }));

  // Refused once, then back: reconnected, the user told again.
  agent.refuse();
  clock.advance(10000);
  ASSERT_TRUE(runUntil([&] { return err.str().find("connect to 127.0.0.1") != std::string::npos; }));
  agent.listen();
  clock.advance(1000);
  ASSERT_TRUE(runUntil([&] { return agent.linked() && names.size() == 2; }));

  // Dropped by the agent: reconnected 10 s later.
  agent.drop();
  ASSERT_TRUE(runUntil([&] { return agentLog(prefix).rfind("lost") != agentLog(prefix).find("lost"); }));
  clock.advance(10000);
  ASSERT_TRUE(runUntil([&] { return agent.linked() && names.size() == 3; }));
  EXPECT_EQ(agentLog(prefix), "connected.\nping timeout !!! now=" + std::to_string(lastAnswer + 35000) +
                                  " stamp=" + std::to_string(lastAnswer) +
                                  "\nconnection lost, reset snmpagent instance\nconnected.\n"
                                  "connection lost, reset snmpagent instance\nconnected.\n");
}

TEST_F(AgentLink, ValuesGoByAgentKindWithDistinctUniqsToEveryAgent) {
  StandInAgent kelo, qv;
  configure({"host = 127.0.0.1:" + std::to_string(kelo.port) + "\nname = kelo\n",
             "host = 127.0.0.1:" + std::to_string(qv.port) + "\nname = lemzgw.qv\n"});
  ASSERT_TRUE(runUntil([&] { return kelo.linked() && qv.linked() && names.size() == 2; }));

  ctrl.Send(SnmpAgentCtrl::powerStatus, "3");
  ctrl.Send(SnmpAgentCtrl::powerStatus, "2");
  ctrl.Send(SnmpAgentCtrl::temperature, "41");
  ctrl.Send(SnmpAgentCtrl::sgBuildVersion, "b");
  ctrl.Send(SnmpAgentCtrl::MonitoringItemType(35), "x");
  ctrl.Send(SnmpAgentCtrl::temperature, "4\xB0");
  ctrl.Send(MON::SnmpSetCommands());
  ctrl.SendTrapsink({});
  ctrl.SendTrapsink({"10.0.0.1"});
  // More values than a peer decodes in one list go in two commands.
  for (int i = 0; i < 130; ++i) ctrl.Send(SnmpAgentCtrl::e1Connected, i, "1");
  ASSERT_TRUE(runUntil([&] { return kelo.frames.size() == 4 && qv.frames.size() == 4; }));
  runFor(20);
  std::string group2 =
      "set\n  1 gatewayCommon.powerStatus[0] = \"3\"\n  3 gatewayCommon.powerStatus[0] = \"2\"\n"
      "  5 gatewayCommon.temperature[0] = \"41\"";
  std::string rest = "set";
  for (int i = 0; i < 130; ++i)
    (i < 125 ? group2 : rest) +=
        "\n  " + std::to_string(7 + i) + " e1Table.e1Connected[" + std::to_string(i) + "] = \"1\"";
  EXPECT_EQ(hex(kelo.frames[0]), vector("MON-v0002"));
  EXPECT_EQ(summary(kelo.frames[1]), group2);
  EXPECT_EQ(summary(kelo.frames[2]), rest);
  EXPECT_EQ(summary(kelo.frames[3]),
            "set\n  2 gatewayCommon.powerStatus[0] = \"3\"\n  4 gatewayCommon.powerStatus[0] = \"2\"\n"
            "  6 statusGeneral.sgBuildVersion[0] = \"b\"");
  EXPECT_EQ(qv.frames, kelo.frames);
  EXPECT_EQ(err.str(), "snmpagent: gatewayCommon.temperature[0] value is not IA5 text, not sent\n");
}

TEST_F(AgentLink, TwoAgentsUpInOnePassGetOneFullRefresh) {
  std::ofstream(Board::Paths::path(Board::Paths::VoiceVersion)) << "Voice 2.1.0 2024-05-01 r17 extra\n";
  show("snmpTrapReceivers : { \"10.0.0.1\" }");
  show("board : boardStatus : { position 0, version '31 2e 32'H, status ready, type fxs }");
  show(
      "emPhone : phoneStatus : { id 0, panelSV '41'H, ctrlSV '42'H, fpgaSV '43'H, status ready, "
      "powerStatus main, mode sleep, hookStatus connected, baseStatus disconnected }");
  for (const char* counter : {"owner router, cnt 5", "owner server, cnt -1", "owner controller, cnt 7",
                              "owner none, cnt 1", "owner extBoard, cnt 2", "owner extBoard, ownerId 3, cnt 4"})
    show(std::string("termCounter : { ") + counter + " }");
  show("snmp-set : { commands { { uniq 77, id oid : \"1.3.6.1\", value \"v\" } } }");
  store->setTemperature("41");
  store->setBuildVersion("1.0\n");
  store->setFPGAVersion("f");
  store->framers = {FramerDataHolder(1, "a"), FramerDataHolder(3, "b")};
  store->netIfs = {NetIfDataHolder(0, "lo"), NetIfDataHolder(1, "eth0"), NetIfDataHolder(4, "hdlc0")};
  refresh = true;

  // Two agents come up in one pass; the refused ones stay without a link.
  StandInAgent first, second;
  const std::string port = std::to_string(first.port);
  configure({"host = 127.0.0.1:" + port + "\nname = kelo\n",
             "host = 127.0.0.1:" + std::to_string(second.port) + "\nname = 7\n", "host = 127.0.0.1\nname = lemzgw\n",
             "host = 127.0.0.1:" + port + "\nname = agent1\n", "host = 300.1.1.1:" + port + "\nname = kelo\n",
             "host = 127.0.0.1:0\nname = kelo\n", "name = lemzgw.qv\n"});
  for (size_t i = 0; i < 7; ++i) EXPECT_EQ(ctrl.agents()[i]->connection() != nullptr, i < 2) << i;
  EXPECT_EQ(ctrl.agents()[1]->addressType(), 7);
  const std::string badHost = "snmpagent: required key \"host\" has invalid value=\"";
  EXPECT_EQ(err.str(), "snmpagent: required key \"name\" has invalid value=\"agent1\", line 12\n" + badHost +
                           "300.1.1.1:" + port + "\", line 14\n" + badHost + "127.0.0.1:0\", line 17\n" +
                           "snmpagent: required key \"host\" not present, line 19\n");
  ASSERT_TRUE(runUntil([&] { return first.frames.size() == 4 && second.frames.size() == 4; }));
  runFor(50);
  EXPECT_EQ(names, (std::vector<std::string>{"kelo", "7"}));
  EXPECT_EQ(second.frames, first.frames);
  std::string text;
  for (const std::string& frame : first.frames) text += summary(frame) + '\n';
  for (auto at = text.find(Version::current.tag); at != std::string::npos; at = text.find(Version::current.tag))
    text.replace(at, std::string(Version::current.tag).size(), "<tag>");
  EXPECT_TRUE(Testing::matchesGolden("monitoring/tests/golden/full-refresh.txt", text));
  EXPECT_EQ(hex(first.frames[0]), vector("MON-v0002"));
}

// Term counters by owner over a few report sequences: what the four
// routines send (the first group's items, without their uniqs) and the
// counter files. A counter reported with and without an id stays one entry
// for the gateway's own owners; a board counter without an id stays apart
// from the boards' rows.
TEST_F(AgentLink, EachTermCounterIsPublishedOnceWithItsLastCount) {
  StandInAgent agent;
  configure({"host = 127.0.0.1:" + std::to_string(agent.port) + "\nname = kelo\n"});
  ASSERT_TRUE(runUntil([&] { return agent.linked() && names.size() == 1; }));
  using Values = std::vector<std::string>;
  using Files = std::map<std::string, std::string>;
  const struct {
    Values reports;  // after the owner
    Values own;      // router, controller and server: the values sent
    std::string ownFile;
    Values rows;  // extBoard: row and value
    Files boardFiles;
  } sequences[] = {
      {{"cnt 5", "ownerId 0, cnt 7", "cnt 9"}, {"9"}, "9", {"[0] = \"7\""}, {{"board0", "7"}}},
      {{"ownerId 0, cnt 7", "cnt 9"}, {"9"}, "9", {"[0] = \"7\""}, {{"board0", "7"}}},
      {{"ownerId 1, cnt 3", "ownerId 2, cnt 4", "cnt -1", "ownerId 2, cnt 6"},
       {"4294967295", "6"},
       "6",
       {"[1] = \"3\"", "[2] = \"6\""},
       {{"board1", "3"}, {"board2", "6"}}},
  };
  const std::string dir = Board::Paths::path(Board::Paths::MonitoringDir);
  for (const auto& sequence : sequences) {
    for (const std::string owner : {"router", "controller", "server", "extBoard", "none"}) {
      SCOPED_TRACE(owner + " after " + sequence.reports.front());
      publisher.reset();
      store.reset();
      fs::remove_all(dir);
      store = std::make_unique<MonitoringDataHolder>();
      publisher = std::make_unique<MonitoringPublisher>(*store, ctrl);
      for (const std::string& report : sequence.reports) show("termCounter : { owner " + owner + ", " + report + " }");
      agent.frames.clear();
      publisher->sendSnmpRouterTermCnt();
      publisher->sendSnmpControllerTermCnt();
      publisher->sendSnmpServerTermCnt();
      publisher->sendSnmpBoardTermCnt();
      ctrl.Send(SnmpAgentCtrl::temperature, "41");  // its group leaves in any case
      ASSERT_TRUE(runUntil([&] { return !agent.frames.empty(); }));
      runFor(20);

      Values sent, expected;
      std::istringstream lines(summary(agent.frames.front()));
      for (std::string line; std::getline(lines, line);)
        if (line != "set") sent.push_back(line.substr(line.find(' ', 2) + 1));
      Files files, expectedFiles;
      for (const auto& entry : fs::directory_iterator(dir + "term_cnts")) {
        std::ifstream in(entry.path());
        std::getline(in, files[entry.path().filename()]);
      }
      if (owner == "extBoard") {
        for (const std::string& row : sequence.rows) expected.push_back("extBoardTermCntTable.extBoardTermCnt" + row);
        expectedFiles = sequence.boardFiles;
      } else if (owner != "none") {
        for (const std::string& value : sequence.own)
          expected.push_back("gatewayTermCounters." + owner + "TermCnt[0] = \"" + value + "\"");
        expectedFiles[owner] = sequence.ownFile;
      }
      expected.push_back("gatewayCommon.temperature[0] = \"41\"");
      EXPECT_EQ(sent, expected);
      EXPECT_EQ(files, expectedFiles);
    }
  }
}

// The driver's version line is read up to 126 characters: what lies beyond is not seen.
TEST_F(AgentLink, VoiceFirmwareLineIsReadUpTo126Characters) {
  StandInAgent agent;
  configure({"host = 127.0.0.1:" + std::to_string(agent.port) + "\nname = kelo\n"});
  ASSERT_TRUE(runUntil([&] { return agent.linked() && names.size() == 1; }));
  const std::string x(116, 'x'), y(117, 'y'), driver = " gatewayCommon.driverBuild[0] = \"";
  for (const auto& [line, sent] : std::vector<std::pair<std::string, std::string>>{
           {"Voice 1 2 " + x + "zz\n", "1 [2 " + x + "]"},                    // "zz" from the 127th on
           {"Voice 1 " + y + " z\n", "1 [" + y + "]"},                        // the blank 126th, "z" 127th
           {"Voice 1 " + y.substr(1) + " z\n", "1 [" + y.substr(1) + " z]"},  // "z" the 126th
           {"", "<none>"}}) {
    SCOPED_TRACE(line);
    agent.frames.clear();
    std::ofstream(Board::Paths::path(Board::Paths::VoiceVersion)) << line;
    publisher->sendSnmpDriverBuild();
    ctrl.Send(SnmpAgentCtrl::temperature, "41");  // its group leaves in any case
    ASSERT_TRUE(runUntil([&] { return !agent.frames.empty(); }));
    runFor(20);
    const std::string text = summary(agent.frames.front());
    const auto at = text.find(driver), from = at + driver.size();
    EXPECT_EQ(at == std::string::npos ? "<none>" : text.substr(from, text.find("\"\n", from) - from), sent);
  }
}

TEST(Publishing, VoiceFirmwareVersionLine) {
  for (const auto& [line, text] :
       std::vector<std::pair<std::string, std::string>>{{"Voice 2.1.0 2024-05-01 r17 x\n", "2.1.0 [2024-05-01 r17]"},
                                                        {"  Voice   2.1.0   r17\n", "2.1.0 [r17]"},
                                                        {"Voice 2.1.0 \n", "2.1.0 []"},
                                                        {"Voice 2.1.0", "none"},
                                                        {"", "none"}})
    EXPECT_EQ(driverBuildText(line), text) << line;
}

}  // namespace
