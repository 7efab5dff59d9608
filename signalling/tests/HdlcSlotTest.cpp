// The raw HDLC slot in this process on the simulated controller, the loop
// clock pinned and stepped by the test: frames built from the controller's
// packages, received frames matched by address and batched by their
// more-follows bit, the full send queue, statistics every 3000 ms, and a
// channel that fails. Signals are read as the other bound services see them.

#include <gtest/gtest.h>

#include <memory>

#include "board/sim/Sim.h"
#include "foundation/config/TraceCtl.h"
#include "server/slot/Slots.h"
#include "signalling/HdlcSlot.h"
#include "testing/Capture.h"
#include "testing/CtrlServerFixture.h"
#include "testing/Golden.h"
#include "testing/Loop.h"

namespace {

using Lines = std::vector<std::string>;

Lines control(const std::string& line) {
  Lines lines = Board::Sim::control(line);
  EXPECT_EQ(lines.back(), "OK") << line;
  lines.pop_back();
  return lines;
}

// A trunk timeslot as the slot's peer: switch channel 69.
struct Trunk : Slot {
  int IGetTransmitChannel() override { return 69; }
  int IGetReceiveChannel() override { return 69; }
  const char* GetName() const override { return "trunk"; }
};

const std::string linkInfo = "ioctl : hdlcLinkInfo : {\n";

class RawHdlc : public ::testing::Test {
protected:
  void SetUp() override {
    Testing::bindProbesOnce();
    static bool bound = false;
    if (!bound) CtrlSrv::ctrlServer.Bind(&Slots::instance());
    bound = true;
    Testing::firstProbe().clear();
    Board::Sim::reset();
    LGCP::CreateParams p;
    LGCP::HdlcParams& h = p.select_hdlcParams();
    h.set_trunk(3);
    h.set_log(0);
    h.set_address(0x51234);
    slot.reset(static_cast<HdlcSlot*>(HdlcSlotFactory::instance().NewSlot(p)));
    ASSERT_TRUE(slot);
  }
  void TearDown() override {
    slot->BeforeDestroy();
    slot.reset();
    traces.signalling_hdlc = false;
  }

  void connect() {
    ASSERT_TRUE(slot->IHwConnectReceiver(trunk));
    ASSERT_TRUE(Testing::runUntil([&] { return slot->channel().is_ready(); }));
  }
  bool send(const Lines& bodies) {
    LGCP::IoctlParams p;
    auto& packages = p.select_hdlcPackages();
    for (const std::string& body : bodies) {
      LGCP::HdlcPackage package;
      package.set_body(body);
      packages.push_back(package);
    }
    return slot->Ioctl(p);
  }
  // Frames from the line, each read before the next comes.
  void receive(const Lines& frames) {
    for (const std::string& hex : frames) {
      const unsigned before = slot->channel().rxSU;
      control("mcc receive 256 " + hex);
      ASSERT_TRUE(Testing::runUntil([&] { return slot->channel().rxSU > before; })) << hex;
    }
  }
  // The signals sent since the last look, in value notation.
  Lines signals() {
    Lines seen;
    seen.swap(Testing::firstProbe().seen);
    return seen;
  }

  Testing::Capture logs{&std::cerr, &std::clog};
  Testing::PinnedClock clock{Testing::PinnedClock::Present};
  Trunk trunk;
  std::unique_ptr<HdlcSlot> slot;
};

TEST_F(RawHdlc, PackagesBecomeFramesWithTheAddressAndBothSequences) {
  connect();
  receive({"1234200100"});  // rx_seq 1
  signals();
  EXPECT_TRUE(send({"", "\x01", "\x02", "\x03", "\x04", "\x05", "\x06", "\x07", "\x08", "\xAB"}));
  const Lines written = control("mcc written");
  ASSERT_EQ(written.size(), 10u);
  EXPECT_EQ(written[0], "256 123401");
  EXPECT_EQ(written[1], "256 12342101");
  EXPECT_EQ(written[7], "256 1234E107");
  EXPECT_EQ(written[8], "256 12340108");
  // tx_seq 9: (9 x 32) AND 0xE0 = 0x20.
  EXPECT_EQ(written[9], "256 123421AB");
  LGCP::IoctlParams other;
  other.select_ss7RqBSN();
  EXPECT_FALSE(slot->Ioctl(other));
}

TEST_F(RawHdlc, FramesOfTheAddressGoUpInBatchesSteeredByTheMoreFollowsBit) {
  connect();
  signals();
  receive({"1234E00180"});
  clock.advance(99);
  EXPECT_EQ(signals(), Lines{});
  // Bit clear: both go up at once, and the pending flush is gone.
  receive({"1234000100"});
  clock.advance(100);
  EXPECT_EQ(signals(), Lines{"ioctl : hdlcPackages : {\n  {\n    body '01 80'H\n  },\n  {\n    body '01 00'H\n  }\n}"});
  // Another address adds nothing but a set bit holds the batch, counted from the first frame.
  receive({"1234000180"});
  clock.advance(60);
  receive({"99990001FF"});
  clock.advance(39);
  EXPECT_EQ(signals(), Lines{});
  clock.advance(1);
  EXPECT_EQ(signals(), Lines{"ioctl : hdlcPackages : {\n  {\n    body '01 80'H\n  }\n}"});
  // A flush with nothing collected sends nothing; a frame under three octets does nothing at all.
  receive({"56780001", "1234"});
  clock.advance(200);
  EXPECT_EQ(signals(), Lines{});
  // A body too short to carry the bit flushes at once; rx_seq follows the last frame of the address.
  receive({"1234A0"});
  EXPECT_EQ(signals(), Lines{"ioctl : hdlcPackages : {\n  {\n    body ''H\n  }\n}"});
  send({"\xEE"});
  EXPECT_EQ(control("mcc written"), Lines{"256 123405EE"});
}

TEST_F(RawHdlc, TheQueueHoldsWhatTheChannelCannotTakeAndStatisticsGoUpEveryThreeSeconds) {
  ASSERT_TRUE(slot->IHwConnectReceiver(trunk));
  // Not writable yet: 120 frames wait, the 121st is dropped and counted.
  EXPECT_TRUE(send(Lines(121, "\x11")));
  EXPECT_EQ(control("mcc written"), Lines{});
  ASSERT_TRUE(Testing::runUntil([] { return control("mcc written").size() == 120; }));
  receive({"12340001"});
  signals();
  clock.advance(2999);
  EXPECT_EQ(signals(), Lines{});
  clock.advance(1);
  const std::string counters = "  txSU 120,\n  txDiscard 0,\n  txError 0,\n  txOverflow 1,\n  rxSU 1\n}";
  EXPECT_EQ(signals(), Lines{linkInfo + counters});
  // Deactivation reports at once and starts the period again; the channel stays open.
  EXPECT_TRUE(slot->IDeactivate());
  EXPECT_EQ(signals(), Lines{linkInfo + counters});
  clock.advance(2999);
  EXPECT_EQ(signals(), Lines{});
  clock.advance(1);
  EXPECT_EQ(signals().size(), 1u);
  EXPECT_TRUE(slot->channel().is_open());
}

TEST_F(RawHdlc, AChannelThatFailsIsReportedOrLoggedAndFramesWaitForTheNextOne) {
  control("absent mcc");
  ASSERT_TRUE(slot->IHwConnectReceiver(trunk));
  EXPECT_EQ(signals(), Lines{"deactivated : networkError"});
  control("present mcc");
  connect();
  control("mcc hangup 256");
  ASSERT_TRUE(Testing::runUntil([&] { return !slot->channel().is_open(); }));
  EXPECT_NE(logs.take().find("hdlc [3/0]: read error: end of file\nHdlcSlot[2/*]: on_hdlc_error\n"),
            std::string::npos);
  EXPECT_EQ(signals(), Lines{});
  // Frames queued while it is closed go out on the next connect.
  EXPECT_TRUE(send({"\x22"}));
  connect();
  EXPECT_EQ(control("mcc written"), Lines{"256 12340022"});
  EXPECT_TRUE(slot->IHwDisconnectReceiver(trunk));
  EXPECT_EQ(control("mcc channels"), Lines{});
}

TEST_F(RawHdlc, TraceLines) {
  traces.signalling_hdlc = true;
  LGCP::CreateParams p;
  p.select_hdlcParams().set_trunk(1);
  std::unique_ptr<Slot> traced(HdlcSlotFactory::instance().NewSlot(p));
  traced->BeforeDestroy();
  TERM::TermActivateParams none;
  ASSERT_TRUE(slot->IActivate(none));
  slot->IHwDisconnectReceiver(trunk);
  connect();
  send({"\x01\x02"});
  receive({"1234000100"});
  EXPECT_TRUE(Testing::matchesGolden("signalling/tests/golden/raw-hdlc-trace.txt", logs.take()));
}

}  // namespace
