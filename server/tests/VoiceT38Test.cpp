// Voice and software T.38 slots of the real daemon, driven as a controller
// would, each on a transparent channel of the simulated multichannel
// controller joined to an E1 timeslot through the switch: a file player's
// phrases written to its channel, a recorder's channel streamed to a TCP
// peer, and a stand-in T.38 program that reads its channel and ends with
// its slot.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "board/Paths.h"
#include "server/tests/Harness.h"
#include "testing/Environment.h"
#include "testing/Frames.h"
#include "testing/Loopback.h"

using namespace e2e;

namespace {

namespace fs = std::filesystem;

std::string create(long seq, long slot, const std::string& what) { return cmd(seq, slot, "create : " + what); }
Lines trunk(long seq) { return {ok(seq, 1), sig(1, "transmitter : active : 69"), sig(1, "receiver : active : 69")}; }

class VoiceT38 : public Served {
protected:
  void SetUp() override {
    const std::string phrases = daemon.file(Board::Paths::VoicePhrases);
    fs::create_directories(phrases);
    std::ofstream(phrases + "one") << "\x01\x02";
    std::ofstream(phrases + "two") << "\x03";
    const std::string t38 = daemon.file(Board::Paths::T38);
    fs::create_directories(fs::path(t38).parent_path());
    fs::copy_file(Testing::required("GW_STANDIN"), t38);
    Served::SetUp();
  }
  // The stand-in T.38 program's steps for its next runs.
  void t38Does(const std::string& steps) { std::ofstream(daemon.file(Board::Paths::T38) + ".do") << steps << "\n"; }
  std::string t38Ran() { return readFile(daemon.file(Board::Paths::T38) + ".log"); }
};

TEST_F(VoiceT38, APlayerAndARecorderCarryAnE1TimeslotsAudio) {
  expect(create(1, 1, "trunk : { trunk 2, timeslot 5 }"), trunk(1));
  expect(create(2, 3, R"(voice : player : file : { name { "one", "missing", "two" }, repeat 1 })"), {ok(2, 3)});
  EXPECT_EQ(control.journal("mcc"), (Lines{"allocate type=2 rx_packet_size=1024 reserved=0 rx_threshold=0 "
                                           "tx_threshold=5",
                                           "timeslot"}));
  // The phrases play once into the timeslot, then the player aborts itself.
  expect(cmd(3, 3, "connect : 1"), {sig(3, "transmitter : active : 256"), ok(3, 3),
                                    sig(3, "transmitter : inactive : NULL"), sig(3, "abort : 0")});
  EXPECT_TRUE(waitFor([&] { return control("mcc written").size() == 2; }));
  EXPECT_EQ(control("mcc written"), (Lines{"256 0102", "256 03"}));
  EXPECT_TRUE(daemon.errHas("mux: slot 03:player [256] -> 01:trunk [69]\n"));
  EXPECT_EQ(control("hal switch map"), Lines{"69 = 0xD5"}) << "idle once the player let go";
  expect(cmd(4, 3, "destroy : NULL"), {ok(4, 3)});
  EXPECT_TRUE(waitFor([&] { return control("mcc channels").empty(); }));

  unsigned short port = 0;
  const Fd listener = Testing::listenLoopback(port);
  expect(create(5, 5, R"(voice : record : { iaddr "127.0.0.1", port )" + std::to_string(port) + " }"),
         {ok(5, 5), sig(5, "receiver : active : 256")});
  EXPECT_EQ(control.journal("mcc"), (Lines{"allocate type=2 rx_packet_size=1024 reserved=0 rx_threshold=5 "
                                           "tx_threshold=0",
                                           "timeslot"}));
  // The timeslot feeds the recorder, which connects to its peer and streams the channel there.
  expect(cmd(6, 1, "connect : 5"), {ok(6, 1)});
  EXPECT_EQ(control("hal switch map"), (Lines{"69 = 0xD5", "256 <- 69"}));
  Testing::Client sink(Fd(::accept(listener.get(), nullptr, nullptr)));
  control("mcc receive 256 CAFEF00D");
  EXPECT_EQ(Testing::hex(sink.read(4)), "cafef00d");
  expect(cmd(7, 5, "destroy : NULL"), {ok(7, 5)});
  EXPECT_TRUE(waitFor([&] { return control("mcc channels").empty(); }));
  EXPECT_TRUE(daemon.errHas("recorder[256]: connected to 127.0.0.1:" + std::to_string(port) + ".\n"));
}

TEST_F(VoiceT38, AT38ProgramRunsOnItsChannelAndEndsWithItsSlot) {
  t38Does("print 12");
  std::string query = resources("");
  query.replace(query.find("t38-instances 0"), 15, "t38-instances 12");
  expect(cmd(1, NoSlot, "query : NULL"), {ok(1, NoSlot), query});

  t38Does("read 3\nwait");
  expect(create(2, 1, "trunk : { trunk 2, timeslot 5 }"), trunk(2));
  expect(create(3, 6,
                R"(t38soft : { dhost { iaddr "10.0.0.1", port 4000 }, shost { iaddr "10.0.0.2", port 5000 }, )"
                R"(rx-packet-size 160, rx-threshold 2, tx-threshold 3, args { "--verbose", "2" } })"),
         {ok(3, 6), sig(6, "transmitter : active : 256"), sig(6, "receiver : active : 256")});
  EXPECT_EQ(control.journal("mcc"), (Lines{"resources",
                                           "allocate type=2 rx_packet_size=160 reserved=0 "
                                           "rx_threshold=2 tx_threshold=3",
                                           "timeslot"}));
  expect(cmd(4, 6, "connect : 1"), {ok(4, 6)});
  expect(cmd(5, 1, "connect : 6"), {ok(5, 1)});
  EXPECT_EQ(control("hal switch map"), (Lines{"69 <- 256", "256 <- 69"}));
  // The program reads the channel on its standard input.
  control("mcc receive 256 ABCDEF");
  const std::string ran =
      "/usr/local/sbin/t38 --num-of-instances\n"
      "/usr/local/sbin/t38 --child --remote 10.0.0.1/4000/5000 --verbose 2\nread ABCDEF\n";
  EXPECT_TRUE(waitFor([&] { return t38Ran() == ran; })) << t38Ran();

  // The destroy is answered at once; the program ends on SIGTERM and lets the channel go.
  const std::string started = daemon.err(), named = "t38soft: t38 daemon[";
  const size_t at = started.find(named);
  ASSERT_NE(at, std::string::npos) << started;
  const std::string pid = started.substr(at + named.size(), started.find(']', at) - at - named.size());
  expect(cmd(6, 6, "destroy : NULL"), {ok(6, 6)});
  EXPECT_TRUE(daemon.errHas("terminate child process, pid=" + pid + " status=15\n"));
  EXPECT_TRUE(waitFor([&] { return control("mcc channels").empty(); }));
  EXPECT_TRUE(controller.quiet(50)) << "no abort for a destroyed slot";
}

}  // namespace
