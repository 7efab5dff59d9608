// Modem slots in this process: the PPP daemon's command lines for answer,
// originate and digital modems, the "/dev/mctl" requests behind them, the
// destroy that waits for the child (SIGHUP, SIGKILL after 5000 ms, the
// child's own end, controller loss, a hang-up before the exec), and the fax programs.

#include <ctime>

#include "foundation/os/Signal.h"
#include "media/ChildProgram.h"
#include "media/ModemSlot.h"
#include "media/tests/MediaSlots.h"

using namespace media;

namespace {

const Lines started = {"transmitter : active : 300", "receiver : active : 300"};

class Modem : public SlotTest {
protected:
  // Creates slot 2 and connects it to the trunk: the signals of the connect come before its success,
  // those of a child that ends at once after it.
  void start(const std::string& params, const Lines& signals = started, const Lines& after = {}) {
    expect(cmd(2, "create : modem : " + params), {ok(2)});
    Lines replies;
    for (const std::string& s : signals) replies.push_back(sig(2, s));
    replies.push_back(ok(2));
    for (const std::string& s : after) replies.push_back(sig(2, s));
    expect(cmd(2, "connect : 1"), replies);
  }
  bool ranLine(const std::string& program, const std::string& line) {
    return Testing::runUntil([&] { return ran(program).find(line + "\n") != std::string::npos; });
  }
  int childPid() { return dynamic_cast<ModemSlot&>(*Slots::instance().Find(2)).childPid(); }
  void destroy(long seq) { controller->send(Testing::lgcp(Testing::cmd(seq, 2, "destroy : NULL"))); }
};

TEST_F(Modem, ThePppDaemonsCommandLineFollowsTheCall) {
  std::string args = "\"a1\"", first62 = "/usr/local/sbin/pppd a1";
  for (int i = 2; i <= 70; ++i) args += ", \"a" + std::to_string(i) + "\"";
  for (int i = 2; i <= 62; ++i) first62 += " a" + std::to_string(i);
  const struct {
    std::string params;
    std::string commandLine;
    Lines journal;
  } cases[] = {
      {R"({ cid "5551234", cdid "100", dmp { { offset 7, value -2 }, { offset 9, value 1 } } })",
       "/usr/local/sbin/pppd file /usr/local/etc/ppp/aoptions /dev/mdm3 remotenumber 5551234",
       {"allocate", "dmp-reset 3", "dmp 3 7=-2", "dmp 3 9=1", "answer 3"}},
      {R"({ cid "", cdid "100", ddm { ddmV110, ddm7BIT }, originate NULL })",
       "/usr/local/sbin/pppd file /usr/local/etc/ppp/coptions /dev/mdm3",
       {"allocate", "ddm 3 flags=0x5", "dmp-reset 3", "originate 3"}},
      // No free digital modem: a DSP modem, V.120 adding no flag.
      {R"({ cid "1", cdid "2", ddm { ddmV120 } })",
       "/usr/local/sbin/pppd file /usr/local/etc/ppp/aoptions /dev/mdm3 remotenumber 1",
       {"allocate", "ddm 3 flags=0x0", "dmp-reset 3", "answer 3"}},
      {R"({ cid "1", cdid "2", execargs { )" + args + " } }", first62, {"allocate", "dmp-reset 3", "answer 3"}},
  };
  for (const auto& c : cases) {
    control("mctl clear");
    start(c.params);
    EXPECT_TRUE(ranLine(Board::Paths::Pppd, c.commandLine)) << ran(Board::Paths::Pppd);
    Lines journal;
    for (const std::string& line : control("mctl journal")) journal.push_back(line.substr(line.find(' ') + 1));
    EXPECT_EQ(journal, c.journal) << c.params;
    destroy(5);
    expectNext({Testing::ok(5, 2)}, c.params);
    EXPECT_EQ(control("mctl modems"), Lines{"3 channel=300 free ddm=0x0 dmp= call=idle"});
  }
}

TEST_F(Modem, ADigitalModemSwitchesItsInterfaceToPppAndBack) {
  control("net add hdlc0 none 0x10");
  control("net wan hdlc0 310");
  install(Board::Paths::T38, "print 4");
  // The RTP factory keeps its last positive count of these two types, maybe a test's before: the board's here.
  control("voice channels 8 2");
  control("voice channels 65 3");
  const std::string free = Testing::resources("", 0, 0, 0);
  auto query = [&](const std::string& modems) {
    std::string r = free;
    r.replace(r.find("rtp-g711mcc 0"), 13, "rtp-g711mcc 2");
    r.replace(r.find("universal 0"), 11, "universal 3");
    r.replace(r.find("modem 0"), 7, "modem 1");
    r.replace(r.find("t38-instances 0"), 15, "t38-instances 4");
    r.replace(r.find("digital-modems 0"), 16, "digital-modems " + modems);
    expect(Testing::cmd(9, Testing::NoSlot, "query : NULL"), {Testing::ok(9, Testing::NoSlot), r});
  };
  query("1");
  start(R"({ cid "9", cdid "", ddm { ddm8BIT } })", {"transmitter : active : 310"});
  EXPECT_TRUE(
      ranLine(Board::Paths::Pppd, "/usr/local/sbin/pppd file /usr/local/etc/ppp/ioptions hdlc0 remotenumber 9"));
  EXPECT_EQ(control("net interfaces")[1], "2 hdlc0 none flags=0x10 channel=310 proto=ppp");
  query("0");
  control("net add hdlc0 none 0x51");  // brought up meanwhile
  destroy(6);
  expectNext({Testing::ok(6, 2)});
  EXPECT_EQ(control("net interfaces")[1], "2 hdlc0 none flags=0x50 channel=310 proto=hdlc");
  query("1");
  // An interface that is up refuses PPP: no daemon runs.
  control("net add hdlc0 none 0x51");
  start(R"({ cid "9", cdid "", ddm { ddm8BIT } })", {"transmitter : active : 310"});
  EXPECT_EQ(childPid(), -1);
  EXPECT_TRUE(logged("02:digital-modem: SIOCWANDEV/IF_PROTO_PPP fail!\n"));
}

TEST_F(Modem, TheDestroyWaitsForThePppDaemon) {
  Testing::PinnedClock clock(Testing::PinnedClock::Present);
  install(Board::Paths::Pppd, "hup ignore\nwait");
  start(R"({ cid "1", cdid "" })");
  ASSERT_TRUE(
      ranLine(Board::Paths::Pppd, "/usr/local/sbin/pppd file /usr/local/etc/ppp/aoptions /dev/mdm3 remotenumber 1"));
  const int pid = childPid();
  destroy(7);
  expectNext({});
  EXPECT_TRUE(logged("02:dsp-modem: sent HUP to pppd.\n"));
  clock.advance(ModemSlot::TerminateTimeoutMs - 1);
  expectNext({});
  clock.advance(1);
  expectNext({Testing::ok(7, 2)});
  EXPECT_TRUE(logged("02:dsp-modem: pppd terminate timeout!\n02:dsp-modem: pppd isn't terminated, killing ...\n"));
  EXPECT_TRUE(logged("terminate child process, pid=" + std::to_string(pid) + " status=9\n"));

  // A daemon that ends on its own aborts the slot with its wait status.
  install(Board::Paths::Pppd, "exit 3");
  start(R"({ cid "1", cdid "" })", started, {"abort : 768"});
  destroy(8);
  expectNext({Testing::ok(8, 2)});
  // So does a daemon that cannot be run.
  fs::remove(rooted(Board::Paths::Pppd));
  start(R"({ cid "1", cdid "" })", started, {"abort : 512"});
}

TEST_F(Modem, ControllerLossKillsADaemonThatIgnoresTheHangUp) {
  install(Board::Paths::Pppd, "hup ignore\nwait");
  start(R"({ cid "1", cdid "" })");
  ASSERT_TRUE(
      ranLine(Board::Paths::Pppd, "/usr/local/sbin/pppd file /usr/local/etc/ppp/aoptions /dev/mdm3 remotenumber 1"));
  const int pid = childPid();
  destroy(7);
  expectNext({});
  controller.reset();
  EXPECT_TRUE(Testing::runUntil([] { return Slots::instance().Live().empty(); }));
  EXPECT_TRUE(logged("terminate child process, pid=" + std::to_string(pid) + " status=9\n"));
  EXPECT_EQ(Testing::count(logs.str(), "pppd isn't terminated, killing ...\n"), 1u);
}

// The daemon catches SIGHUP; a child hung up before its exec must end all the same, not run on unseen.
TEST_F(Modem, AChildHungUpBeforeItsExecEnds) {
  struct Exit {
    void ended(int s) { status = s; }
    int status = -1;
  } exit;
  ChildWait waiter;
  waiter.Bind(&exit, &Exit::ended);
  IPC::Signal::handle(
      SIGHUP, [](int) {}, SA_RESTART);
  install(Board::Paths::Pppd, "wait");
  const pid_t pid = ChildProgram(rooted(Board::Paths::Pppd), {"pppd"}).announce(1, "late").start();
  waiter.Attach(pid);
  ::kill(pid, SIGHUP);
  if (!Testing::runUntil([&] { return exit.status != -1; }, 3000)) ::kill(pid, SIGKILL);
  IPC::Signal::system(SIGHUP);
  EXPECT_TRUE(WIFSIGNALED(exit.status) && WTERMSIG(exit.status) == SIGHUP) << exit.status;
  EXPECT_EQ(ran(Board::Paths::Pppd), "");
}

TEST_F(Modem, AFaxTransferCountsItsPagesAndTheReceiverGetsAFileOfItsOwn) {
  install(Board::Paths::FaxSend, "exit 3");
  const std::string zero = "{ low 0, high 0 }";
  start(R"({ cid "", cdid "", fax NULL, execargs { "-x", "doc.g3" } })", started,
        {"modemProceeding : acct : { octetsOut " + zero + ", octetsIn { low 3, high 0 }, packetsOut " + zero +
             ", packetsIn " + zero + ", time " + zero + " }",
         "abort : 768"});
  EXPECT_EQ(ran(Board::Paths::FaxSend), "/usr/local/sbin/fax -m 3 -x doc.g3\n");
  EXPECT_TRUE(logged("fax terminated with code 768\n02:dsp-modem: pages received: 3\n"));
  expect(cmd(2, "destroy : NULL"), {ok(2)});

  // Files of the seconds around now exist already: the receiver names its file when the call starts, by
  // the time of day, which a slow emulator or a step of the clock puts seconds away from this one.
  install(Board::Paths::FaxReceive, "exit 0");
  for (std::time_t t = std::time(nullptr) - 60, end = t + 180; t < end; ++t) {
    char text[64];
    std::tm local;
    std::strftime(text, sizeof text, Board::Paths::FaxReceiveFile, localtime_r(&t, &local));
    std::ofstream(rooted(text)) << "";
  }
  start(R"({ cid "", cdid "", fax NULL })");
  EXPECT_TRUE(Testing::runUntil([&] {
    const std::string line = ran(Board::Paths::FaxReceive);
    return line.rfind("/usr/local/bin/fax -m 3 receive /var/fax-", 0) == 0 && line.find("-3.g3\n") == 49;
  })) << ran(Board::Paths::FaxReceive);
  expect(cmd(2, "destroy : NULL"), {ok(2)});
}

}  // namespace
