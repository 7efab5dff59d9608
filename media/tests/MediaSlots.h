#pragma once
// Modem, voice and T.38 slots in this process, behind the controller server
// on the simulated board: the factories in the daemon's order (the RTP one
// first, whose counts a query reports), the child reaper active, the
// authentication proxy on a port of its own, and the child programs replaced
// by copies of the stand-in (GW_STANDIN) whose command lines and steps a
// test reads and writes.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "board/Paths.h"
#include "board/sim/Sim.h"
#include "foundation/eventloop/ChildWait.h"
#include "foundation/os/Signal.h"
#include "hardware/HwMux.h"
#include "media/ModemFactory.h"
#include "media/RtpFactory.h"
#include "media/T38SoftSlot.h"
#include "media/VoiceFactory.h"
#include "server/slot/Slots.h"
#include "testing/Capture.h"
#include "testing/CtrlServerFixture.h"
#include "testing/Environment.h"
#include "testing/Lgcp.h"

namespace media {

using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

inline std::string rooted(const std::string& fixed) { return Board::Paths::path(fixed.c_str()); }

// A control line's reply without its closing "OK".
inline Lines control(const std::string& line) {
  Lines lines = Board::Sim::control(line);
  EXPECT_EQ(lines.back(), "OK") << line;
  lines.pop_back();
  return lines;
}

// A stand-in at a fixed program path, following the steps ("wait", "exit 3", ...).
inline void install(const std::string& program, const std::string& steps) {
  const std::string path = rooted(program);
  fs::create_directories(fs::path(path).parent_path());
  // A copy that still runs cannot be overwritten, only replaced.
  for (const std::string& old : {path, path + ".log"}) fs::remove(old);
  fs::copy_file(Testing::required("GW_STANDIN"), path);
  std::ofstream(path + ".do") << steps << "\n";
}

// The stand-in's log: its command lines and what it read.
inline std::string ran(const std::string& program) {
  std::ifstream in(rooted(program) + ".log");
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class SlotTest : public Testing::CtrlServerTest {
protected:
  static void SetUpTestSuite() {
    // A slot's write to a peer that has gone fails with EPIPE, as in the daemon, which catches the signal
    // (ProcessControl): two writes in a row, as a late loop makes them, must not end the test program.
    IPC::Signal::handle(
        SIGPIPE, [](int) {}, SA_RESTART);
    ::setenv("SERVER_AUTH_PORT", std::to_string(Testing::freePort()).c_str(), 1);
    ChildWait::Activate();
    Testing::bindProbesOnce();
    RtpFactory::instance();
    ModemFactory::instance();
    VoiceFactory::instance();
    T38SoftFactory::instance();
    UseSwitch(HwMux::instance());
    CtrlSrv::ctrlServer.Bind(&Slots::instance());
  }
  void SetUp() override {
    Board::Sim::reset();
    control("mctl add 3 300");
    // What a test before left the factory knowing (a digital modem's interface) is not on this board.
    ModemFactory::instance().IQuery();
    for (const char* p : {Board::Paths::Pppd, Board::Paths::FaxSend, Board::Paths::FaxReceive}) install(p, "wait");
    CtrlServerTest::SetUp();
    controller = connect();
    expect(cmd(1, "create : trunk : { trunk 2, timeslot 5 }"),
           {ok(1), sig(1, "transmitter : active : 69"), sig(1, "receiver : active : 69")});
  }
  void TearDown() override {
    controller.reset();
    Testing::runUntil([] { return Slots::instance().Live().empty(); });
    CtrlServerTest::TearDown();
  }

  static std::string cmd(long slot, const std::string& command) { return Testing::cmd(Testing::NoSeq, slot, command); }
  static std::string ok(long slot) { return Testing::ok(Testing::NoSeq, slot); }
  static std::string sig(long slot, const std::string& signal) { return Testing::sig(slot, signal); }

  // Sends a message and expects exactly these messages back, in order.
  void expect(const std::string& message, const Lines& replies) {
    controller->frames.clear();
    controller->send(Testing::lgcp(message));
    expectNext(replies, message);
  }
  // Expects these messages next (within `limitMs`), and nothing more within a few loop passes.
  void expectNext(const Lines& replies, const std::string& after = "", int limitMs = 3000) {
    Lines expected;
    for (const std::string& r : replies) expected.push_back(Testing::lgcp(r));
    Testing::runUntil([&] { return controller->pump(), controller->frames.size() >= expected.size(); }, limitMs);
    Testing::runFor(20);
    controller->pump();
    EXPECT_TRUE(Testing::sameFrames(expected, controller->frames)) << "after " << after;
    controller->frames.clear();
  }
  // Waits until the log holds the text.
  bool logged(const std::string& text, int limitMs = 3000) {
    return Testing::runUntil([&] { return logs.str().find(text) != std::string::npos; }, limitMs);
  }

  Testing::Capture logs{&std::cerr, &std::clog};
  std::unique_ptr<Testing::Controller> controller;
};

}  // namespace media
