// The monitoring service in this process, bound after the controller server
// fixture's heartbeat and probes: its timers on the pinned loop clock, the
// board simulated, its files under the test's root, and from the agent cases
// on a stand-in SNMP agent. One service lives for the whole program, so the
// cases run in order on one board.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "board/Paths.h"
#include "board/dev/Hal.h"
#include "board/sim/Sim.h"
#include "foundation/config/IniFile.h"
#include "foundation/config/TraceCtl.h"
#include "foundation/os/Version.h"
#include "monitoring/MonitoringCtl.h"
#include "monitoring/tests/MonSummary.h"
#include "monitoring/tests/StandInAgent.h"
#include "testing/CtrlServerFixture.h"
#include "testing/Golden.h"
#include "testing/Lgcp.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using Testing::NoSeq;
using Testing::NoSlot;

std::string at(const char* fixed, const std::string& name = "") { return Board::Paths::path(fixed) + name; }

void write(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path) << text;
}

std::string monitored(const std::string& name) {
  std::ifstream in(at(Board::Paths::MonitoringDir, name));
  return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<missing>";
}

Lines board(const std::string& line) {
  Lines lines = Board::Sim::control(line);
  EXPECT_EQ(lines.back(), "OK") << line;
  lines.pop_back();
  return lines;
}

Testing::PinnedClock& clock() {
  static Testing::PinnedClock pinned;
  return pinned;
}

// Built once, on a board and a root prepared for it, and bound last.
MonitoringCtl& service() {
  static MonitoringCtl* built = [] {
    fs::remove_all(Board::Paths::root());
    const std::pair<std::string, const char*> files[] = {
        {at(Board::Paths::BuildVersion), "2.0.1\n"},
        {at(Board::Paths::BootVersion), "U-Boot 2010\n"},
        {at(Board::Paths::BoardVersion), ""},
        {at(Board::Paths::Temperature), "41.5 C\n"},
        {at(Board::Paths::FramerStatus, "0"), "Current state           : Synchronized\n"},
        {at(Board::Paths::FramerStatus, "1"), ""},
        {at(Board::Paths::ConfigDir, "config.2save.tar.bz2"), ""},
        {at(Board::Paths::ConfigDir, "config.0000000A-0000000000000001"), ""},
        {at(Board::Paths::RunDir, "x"), ""},
    };
    for (const auto& [path, text] : files) write(path, text);
    fs::create_directories(at(Board::Paths::ConfigDir, "config.0000000B-0000000000000002"));
    Board::Sim::reset();
    board("net add eth0 none 0x41");
    board("absent hal");
    clock();
    Testing::bindProbesOnce();
    CtrlSrv::ctrlServer.Bind(&MonitoringCtl::instance());
    return &MonitoringCtl::instance();
  }();
  return *built;
}

class Monitoring : public Testing::CtrlServerTest {
protected:
  void SetUp() override {
    traces.monitoring_internal = true;
    CtrlServerTest::SetUp();
  }
  void TearDown() override {
    CtrlServerTest::TearDown();
    traces.monitoring_internal = false;
  }
  // Moves the loop clock; what the log stream got from the timers that fell due.
  std::string advance(unsigned ms) {
    log.clear();
    clock().advance(ms);
    const std::string text = log.str();
    Testing::runFor(20);
    return text;
  }

  Testing::Capture log{std::clog};
};

TEST_F(Monitoring, TimersCheckTheBoardFirstAndPeriodically) {
  MonitoringCtl& m = service();
  EXPECT_EQ(advance(999), "");
  EXPECT_EQ(advance(1), "BuildVersion - 2.0.1\n\nBootVersion - U-Boot 2010\n\nBoardVersion - \nError read file: \"" +
                            at(Board::Paths::FramerStatus, "1") + "\" errno=\"Success\"\nTemperature - 41.5 C\n\n");
  EXPECT_EQ(m.store().buildVersion, "2.0.1\n");
  EXPECT_EQ(m.store().temperature, "41.5");
  EXPECT_EQ(monitored("config_version"), "0000000a-0000000000000001");
  EXPECT_EQ(fs::current_path(), fs::path(at(Board::Paths::ConfigDir)).parent_path());
  EXPECT_EQ(m.store().framers.front().status, "Synchronized");

  // No panel yet: nothing but the interfaces; once there, LEDs off before the reads.
  EXPECT_EQ(advance(1000), "");
  EXPECT_EQ(board("hal panel requests"), Lines{});
  EXPECT_EQ(m.store().netIfs.back().running, 0);
  for (const char* line : {"present hal", "hal panel dip 0x35", "hal panel power 5"}) board(line);
  EXPECT_EQ(advance(2000), "New dip - 5\n");
  EXPECT_EQ(board("hal panel requests"), (Lines{"leds 0x00", "power 0x05", "dip 0x35"}));
  EXPECT_EQ(monitored("dip"), "53");
  EXPECT_EQ(monitored("powerstatus"), "<missing>");  // 5 is unknown, as at start
  EXPECT_EQ(m.store().netIfs.back().running, 1);
  namespace Panel = Board::Dev::Hal::Panel;  // the driver's numbers
  EXPECT_EQ((std::vector<uint32_t>{Panel::ReadDip, Panel::ReadPower, Panel::WriteLeds}),
            (std::vector<uint32_t>{0xC0014205, 0xC0014206, 0xC0014207}));

  // No controller connected: not running, then running but not connected.
  EXPECT_EQ(advance(1000), "New controller 127.0.0.1 status - notrun\n");
  EXPECT_EQ(monitored("controller/127.0.0.1/status"), "5");
  EXPECT_EQ(fs::read_symlink(at(Board::Paths::MonitoringDir, "controller/self")),
            at(Board::Paths::MonitoringDir, "controller/127.0.0.1"));
  write(at(Board::Paths::Proc, "/4242/stat"), "4242 (controller) S 1 4242");
  EXPECT_EQ(advance(4999), "");
  EXPECT_EQ(advance(1), "New controller 127.0.0.1 status - notconnection\n");
  EXPECT_EQ(monitored("controller/127.0.0.1/status"), "4");

  write(at(Board::Paths::BuildVersion), "2.0.2");
  EXPECT_EQ(advance(50999), "");
  EXPECT_EQ(advance(1).substr(0, 21), "BuildVersion - 2.0.2\n");
}

TEST_F(Monitoring, TheControllerHearsThePowerAndDrivesTheLeds) {
  MonitoringCtl& m = service();
  auto c = connect();
  ASSERT_TRUE(Testing::runUntil([&] {
    c->pump();
    return !c->frames.empty();
  }));
  const auto power = [](const std::string& state) { return Testing::lgcp(Testing::sig(NoSlot, "power : " + state)); };
  EXPECT_EQ(c->frames, Lines{power("unknown")});  // sent on connect, changed or not
  board("hal panel power 0");
  c->frames.clear();
  advance(2000);
  // Loopback TCP may hand the frame over after the fixed while of advance().
  Testing::runUntil([&] {
    c->pump();
    return !c->frames.empty();
  });
  EXPECT_EQ(c->frames, Lines{power("both")});
  EXPECT_EQ(monitored("powerstatus"), "3");

  const std::pair<const char*, const char*> displays[] = {
      {"e1 1, info line : TRUE", "0x0C"},  {"e1 1, info line : TRUE", "0x0C"}, {"e1 3, info link : FALSE", "0x4C"},
      {"e1 1, info line : FALSE", "0x40"}, {"e1 2, info line : TRUE", "0x70"}, {"e1 3, info link : TRUE", "0x30"},
  };
  for (const auto& [info, leds] : displays) {
    EXPECT_EQ(
        exchange(*c, Testing::lgcp(Testing::cmd(NoSeq, NoSlot, "display : framer : { " + std::string(info) + " }"))),
        Lines{Testing::lgcp(Testing::ok(NoSeq, NoSlot))});
    EXPECT_EQ(board("hal panel leds"), Lines{leds}) << info;
  }
  LGCP::DisplayParams beyond;
  beyond.select_framer().set_e1(7);
  beyond.select_framer().get_info().select_line() = true;
  Testing::Capture err(std::cerr);
  m.OnDisplayCMD(beyond);
  EXPECT_EQ(board("hal panel leds"), Lines{"0x30"});
  EXPECT_EQ(err.str(), "monitoring: display for framer 7, LEDs unchanged\n");

  // A BRI line's status is no framer's; an E1 trunk's is that framer's.
  for (const char* type : {"bri", "e1"}) {
    LGCP::Signal sig;
    ASSERT_TRUE(sig.setFromValueNotation(std::string("trunkStatus : { trunk 1, state lossCarrier, slips 0, lossBF 0, "
                                                     "lossCarrier 0, lossAIS 0, lossRAI 0, name \"\", clockMaster "
                                                     "FALSE, type ") +
                                         type + " }"));
    m.OnSignal(sig);
    EXPECT_EQ(m.store().framers.back().status, type[0] == 'b' ? "absent" : "No Carrier");
  }
}

// The SNMP agent the service feeds from its first use on, for the rest of the program.
struct ServedAgent {
  ServedAgent() {
    std::stringstream text("[snmpagent]\nhost = 127.0.0.1:" + std::to_string(agent.port) + "\nname = kelo\n");
    IniFile::File file;
    text >> file;
    service().Configure(file);
  }
  Testing::StandInAgent agent;
};

Testing::StandInAgent& agent() {
  static ServedAgent served;
  return served.agent;
}

// The set commands of a MON vector of the snmp-set kind.
MON::SnmpSetCommands monSetCommands(const std::string& id) {
  const std::string octets = Testing::bytes(Testing::monVector(id));
  MON::Message message;
  EXPECT_TRUE(ASN1::CoderEnv(ASN1::CoderEnv::per_Aligned).decode(octets.data(), octets.data() + octets.size(), message))
      << id;
  return message.get_pdu().get_command().get_snmp_set();
}

// A set command as text without its uniq numbers, which count every value
// queued since the program began; the build tag as <tag>.
std::string items(const std::string& payload) {
  std::istringstream lines(Testing::monSummary(payload));
  std::string line, text;
  while (std::getline(lines, line)) {
    if (line.compare(0, 2, "  ") == 0) line = "  " + line.substr(line.find(' ', 2) + 1);
    text += line + '\n';
  }
  for (auto at = text.find(Version::current.tag); at != std::string::npos; at = text.find(Version::current.tag))
    text.replace(at, std::string(Version::current.tag).size(), "<tag>");
  return text;
}

// The service feeding the agent after the cases above: the controller's
// display records and the refresh on each connection of the agent.
class MonitoringAgent : public Monitoring {
protected:
  // The agent's frames as hex, once `count` came and the loop ran on a while.
  Lines received(size_t count) {
    Testing::runUntil([&] { return agent().frames.size() >= count; });
    Testing::runFor(20);
    Lines frames;
    for (const std::string& frame : agent().frames) frames.push_back(Testing::hex(frame));
    return frames;
  }

  // The item frames of the refresh on the agent's first connection.
  static Lines firstRefresh;
};

Lines MonitoringAgent::firstRefresh;

TEST_F(MonitoringAgent, DisplayedTrapReceiversAndSetCommandsGoToTheAgentAsGiven) {
  firstRefresh = received(2);  // nothing kept to display yet: the items, one set command per group
  ASSERT_EQ(firstRefresh.size(), 2u);
  auto c = connect();
  ASSERT_TRUE(Testing::runUntil([&] {
    c->pump();
    return !c->frames.empty();  // the power state
  }));

  const std::pair<std::string, Lines> cases[] = {
      {"snmpTrapReceivers : { }", {}},
      {"snmpTrapReceivers : { \"10.0.0.1\" }", {"MON-v0002"}},
      {"snmp-set : { commands { } }", {}},
      {"snmp-set : " + monSetCommands("MON-v0003").asValueNotation(), {"MON-v0003"}},
      {"snmp-set : " + monSetCommands("MON-v0004").asValueNotation(), {"MON-v0004"}},
      {"snmp-set : " + monSetCommands("MON-v0005").asValueNotation(), {"MON-v0005"}},
  };
  for (const auto& [params, vectors] : cases) {
    SCOPED_TRACE(params);
    agent().frames.clear();
    EXPECT_EQ(exchange(*c, Testing::lgcp(Testing::cmd(NoSeq, NoSlot, "display : " + params))),
              Lines{Testing::lgcp(Testing::ok(NoSeq, NoSlot))});
    Lines expected;
    for (const std::string& id : vectors) expected.push_back(Testing::monVector(id));
    EXPECT_EQ(received(expected.size()), expected);
  }
  EXPECT_EQ(service().store().trapReceivers, std::list<std::string>{"10.0.0.1"});
  EXPECT_EQ(monitored("-Y0B/-1/<k2eZ\\,CN"), "1d09uc;|rK?#");
}

TEST_F(MonitoringAgent, AReconnectedAgentGetsTheWholeStateAgain) {
  ASSERT_EQ(firstRefresh.size(), 2u) << "runs after the case before";
  ASSERT_TRUE(Testing::runUntil([] { return agent().linked(); }));
  agent().frames.clear();
  agent().drop();
  ASSERT_TRUE(Testing::runUntil([&] { return log.str().find("connection lost") != std::string::npos; }));
  clock().advance(10000);
  const Lines frames = received(4);
  ASSERT_EQ(frames.size(), 4u);

  // The trap receivers and the kept set commands as the controller gave them.
  EXPECT_EQ(frames[0], Testing::monVector("MON-v0002"));
  MON::Message kept;
  auto& commands = kept.get_pdu().select_command().select_snmp_set().get_commands();
  for (const char* id : {"MON-v0003", "MON-v0004", "MON-v0005"}) {
    const MON::SnmpSetCommands given = monSetCommands(id);
    for (const MON::SnmpSetCommand& command : given.get_commands()) commands.push_back(command);
  }
  std::vector<char> octets;
  ASSERT_GT(ASN1::CoderEnv(ASN1::CoderEnv::per_Aligned).encode(kept, octets), 0);
  EXPECT_EQ(frames[1], Testing::hex(std::string(octets.begin(), octets.end())));

  // Every item again, as on the first connection.
  std::string text;
  for (size_t i = 0; i < 2; ++i) {
    const std::string now = items(Testing::bytes(frames[2 + i]));
    EXPECT_EQ(now, items(Testing::bytes(firstRefresh[i])));
    text += now;
  }
  EXPECT_TRUE(Testing::matchesGolden("monitoring/tests/golden/service-refresh.txt", text));
}

}  // namespace
