// Voice slots in this process on transparent channels of the simulated
// controller: the file player's phrases on the channel in order with their
// repeat counts and refused names, the network player and the recorder
// against TCP peers that refuse, accept and close.

#include <sys/ioctl.h>
#include <sys/socket.h>

#include "media/tests/MediaSlots.h"
#include "testing/Loopback.h"

using namespace media;

namespace {

// A port of 127.0.0.1 that refuses connections: bound, never listening, and
// held for the test, so that no other socket is given it meanwhile (nor the
// connecting one, which would then be connected to itself).
struct RefusingPort {
  RefusingPort() : socket(Testing::bindLoopback(port, true)) { EXPECT_TRUE(socket); }
  unsigned short port = 0;
  Fd socket;
};

class Voice : public SlotTest {
protected:
  void SetUp() override {
    SlotTest::SetUp();
    const std::string dir = rooted(Board::Paths::VoicePhrases);
    fs::create_directories(dir);
    std::ofstream(dir + "one") << "\x01\x02";
    std::ofstream(dir + "two") << "\x03";
    control("mcc clear");
  }
  // Waits until the channel took that many writes; all of them.
  Lines written(size_t count) {
    Testing::runUntil([&] { return control("mcc written").size() >= count; });
    return control("mcc written");
  }
  std::string peer(unsigned short port) { return R"({ iaddr "127.0.0.1", port )" + std::to_string(port) + " }"; }
};

TEST_F(Voice, TheFilePlayerPlaysItsPhrasesInOrderAsOftenAsAsked) {
  expect(cmd(3, R"(create : voice : player : file : { name { "one", "../one", "missing", "two" }, repeat 2 })"),
         {ok(3)});
  EXPECT_EQ(control("mcc journal")[0].substr(control("mcc journal")[0].find(' ') + 1),
            "allocate type=2 rx_packet_size=1024 reserved=0 rx_threshold=0 tx_threshold=5");
  expect(cmd(3, "connect : 1"),
         {sig(3, "transmitter : active : 256"), ok(3), sig(3, "transmitter : inactive : NULL"), sig(3, "abort : 0")});
  EXPECT_EQ(control("mcc written"), (Lines{"256 0102", "256 03", "256 0102", "256 03"}));
  EXPECT_EQ(Testing::count(logs.str(), "player[256]: phrase name outside the phrase directory: ../one\n"), 2u);
  expect(cmd(3, "destroy : NULL"), {ok(3)});

  // Repeat 0: until destroyed.
  control("mcc clear");
  expect(cmd(4, R"(create : voice : player : file : { name { "two" }, repeat 0 })"), {ok(4)});
  expect(cmd(4, "connect : 1"), {sig(4, "transmitter : active : 256"), ok(4)});
  EXPECT_GE(written(5).size(), 5u);
  expect(cmd(4, "destroy : NULL"), {ok(4)});

  // Nothing to play: no output stream, and one abort on the next pass.
  expect(cmd(5, R"(create : voice : player : file : { name { "missing", ".." }, repeat 1 })"), {ok(5)});
  expect(cmd(5, "connect : 1"), {Testing::err(Testing::NoSeq, 5, "connectFail"), sig(5, "abort : 0")});
}

TEST_F(Voice, TheNetworkPlayerStreamsWhatItsPeerSends) {
  const RefusingPort held;
  const unsigned short refusing = held.port;
  expect(cmd(3, "create : voice : player : network : { host " + peer(refusing) + ", id 7 }"), {ok(3)});
  expect(cmd(3, "connect : 1"),
         {sig(3, "transmitter : active : 256"), ok(3), sig(3, "transmitter : inactive : NULL"), sig(3, "abort : 0")});
  EXPECT_TRUE(logged("player[256]: connection to 127.0.0.1:" + std::to_string(refusing) + " fail.\n"));
  expect(cmd(3, "destroy : NULL"), {ok(3)});

  unsigned short port = 0;
  const Fd listener = Testing::listenLoopback(port);
  expect(cmd(4, "create : voice : player : network : { host " + peer(port) + ", id 16909060 }"), {ok(4)});
  expect(cmd(4, "connect : 1"), {sig(4, "transmitter : active : 256"), ok(4), sig(4, "ioctl : startPlaying : NULL")});
  Testing::Client source(Fd(::accept(listener.get(), nullptr, nullptr)));
  EXPECT_EQ(source.read(4), "\x01\x02\x03\x04");
  source.write("\xAA\xBB");
  EXPECT_EQ(written(1), Lines{"256 AABB"});
  source.close();
  expectNext({sig(4, "transmitter : inactive : NULL"), sig(4, "abort : 0")});
  EXPECT_TRUE(logged("player[256]: connection to 127.0.0.1:" + std::to_string(port) + " closed.\n"));
}

TEST_F(Voice, TheRecorderStreamsItsChannelToANewConnectionEachTime) {
  const RefusingPort refusing;
  expect(cmd(5, "create : voice : record : " + peer(refusing.port)), {ok(5), sig(5, "receiver : active : 256")});
  expect(cmd(1, "connect : 5"), {ok(1), sig(5, "ioctl : stopRecording : connectionFail")});
  expect(cmd(5, "destroy : NULL"), {ok(5)});

  unsigned short port = 0;
  const Fd listener = Testing::listenLoopback(port);
  expect(cmd(5, "create : voice : record : " + peer(port)), {ok(5), sig(5, "receiver : active : 256")});
  const std::string connected = "recorder[256]: connected to 127.0.0.1:" + std::to_string(port) + ".\n";
  size_t connections = 0;
  for (const char* frame : {"CAFE", "F00D"}) {
    expect(cmd(1, "connect : 5"), {ok(1)});
    Fd accepted(::accept(listener.get(), nullptr, nullptr));
    // The recorder copies to this connection once it has seen it complete; a frame before that goes the
    // way of the one before (to the connection the disconnect left open).
    ++connections;
    EXPECT_TRUE(Testing::runUntil([&] { return Testing::count(logs.str(), connected) == connections; }));
    control(std::string("mcc receive 256 ") + frame);
    // The loop copies the frame, so it runs until the bytes are there: the read below does not run it.
    EXPECT_TRUE(Testing::runUntil([&] {
      int queued = 0;
      return ::ioctl(accepted.get(), FIONREAD, &queued) == 0 && queued >= 2;
    }));
    Testing::Client sink(std::move(accepted));
    EXPECT_EQ(Testing::hex(sink.read(2)), Testing::hex(Testing::bytes(frame)));
    expect(cmd(5, "disconnect : NULL"), {ok(5)});
  }
  // A peer that goes away ends the recording.
  expect(cmd(1, "connect : 5"), {ok(1)});
  Fd(::accept(listener.get(), nullptr, nullptr)).close();
  EXPECT_TRUE(Testing::runUntil([&] { return Testing::count(logs.str(), connected) == connections + 1; }));
  for (int i = 0; i < 3; ++i) {
    control("mcc receive 256 01");
    Testing::runFor(20);
  }
  expectNext({sig(5, "ioctl : stopRecording : connectionAborted")});
  EXPECT_TRUE(logged("recorder[256]: record aborted\n"));

  // The factory's prefix holds its own counter, whatever lives.
  control("absent /dev/mcc/ctl");
  expect(cmd(6, "create : voice : record : " + peer(port)), {Testing::err(Testing::NoSeq, 6, "insufficientResources")});
  EXPECT_TRUE(logged("voice/mcc[0]: fail to open /dev/mcc/ctl device for reading: No such file or directory\n"));
}

}  // namespace
