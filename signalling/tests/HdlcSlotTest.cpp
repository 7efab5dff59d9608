// The raw HDLC slot in this process on the simulated controller, the loop
// clock pinned and stepped by the test: frames built from the controller's
// packages, received frames matched by address and batched by their
// more-follows bit, the full send queue, statistics every 3000 ms and a
// failing channel. Signals are read as the other bound services see them.

#include <gtest/gtest.h>

#include <memory>

#include "board/sim/Sim.h"
#include "foundation/config/TraceCtl.h"
#include "hardware/HwMux.h"
#include "server/slot/Slots.h"
#include "signalling/HdlcSlot.h"
#include "testing/Capture.h"
#include "testing/CtrlServerFixture.h"
#include "testing/Loop.h"

namespace {

using Lines = std::vector<std::string>;

Lines control(const std::string& line) {
  Lines lines = Board::Sim::control(line);
  lines.pop_back();
  return lines;
}

// A trunk timeslot as the slot's peer: switch channel 69.
struct Trunk : Slot {
  int IGetTransmitChannel() override { return 69; }
  const char* GetName() const override { return "trunk"; }
};

std::string batch(const Lines& bodies) {
  std::string text = "ioctl : hdlcPackages : {\n";
  for (const std::string& body : bodies) {
    text += "  {\n    body '" + body + "'H\n  }" + (&body != &bodies.back() ? ",\n" : "\n");
  }
  return text + "}";
}

class RawHdlc : public ::testing::Test {
protected:
  void SetUp() override {
    Testing::bindProbesOnce();
    static bool bound = false;
    if (!bound) CtrlSrv::ctrlServer.Bind(&Slots::instance());
    bound = true;
    UseSwitch(HwMux::instance());
    Testing::firstProbe().clear();
    Board::Sim::reset();
    LGCP::CreateParams p;
    LGCP::HdlcParams& h = p.select_hdlcParams();
    h.set_trunk(3);
    h.set_address(0x51234);  // its low 16 bits
    slot.reset(static_cast<HdlcSlot*>(HdlcSlotFactory::instance().NewSlot(p)));
  }
  void TearDown() override {
    slot->BeforeDestroy();
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
      packages.push_back(LGCP::HdlcPackage());
      packages[packages.size() - 1].set_body(body);
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
  traces.signalling_hdlc = true;
  LGCP::CreateParams p;
  p.select_hdlcParams().set_trunk(1);
  std::unique_ptr<Slot>(HdlcSlotFactory::instance().NewSlot(p))->BeforeDestroy();
  EXPECT_EQ(logs.take(), "\n\nHdlcSlotFactory.INewSlot\n\n\nHdlcSlot[0/*]: trunk=1, address=0\n");
  traces.signalling_hdlc = false;
  connect();
  receive({"1234200100"});  // rx_seq 1
  traces.signalling_hdlc = true;
  logs.clear();
  EXPECT_TRUE(send({"", "\x01", "\x02", "\x03", "\x04", "\x05", "\x06", "\x07", "\x08", "\xAB"}));
  const Lines written = control("mcc written");
  ASSERT_EQ(written.size(), 10u);
  EXPECT_EQ(written[0], "256 123401");
  EXPECT_EQ(written[7], "256 1234E107");
  EXPECT_EQ(written[8], "256 12340108");
  EXPECT_EQ(written[9], "256 123421AB");  // tx_seq 9: (9 x 32) AND 0xE0 = 0x20
  const std::string trace = logs.str();
  EXPECT_NE(trace.find("HdlcSlot[2/*]: enqueue package: \nHdlcSlot[2/*]: 12 34 21 AB\n"), std::string::npos);
  EXPECT_NE(trace.find("HDLC[3]: tx 12 34 21 AB\nHdlcSlot[2/*]: on_hdlc_ready\nHdlcSlot[2/*]: 12 34 21 AB\n"),
            std::string::npos);
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
  receive({"1234000100"});  // bit clear: both at once, the pending flush gone
  clock.advance(100);
  EXPECT_EQ(signals(), Lines{batch({"01 80", "01 00"})});
  // Another address adds nothing, but its set bit holds the batch, counted from the first frame.
  receive({"1234000180"});
  clock.advance(60);
  receive({"99990001FF"});
  clock.advance(39);
  EXPECT_EQ(signals(), Lines{});
  clock.advance(1);
  EXPECT_EQ(signals(), Lines{batch({"01 80"})});
  // An empty flush sends nothing; a frame under three octets does nothing.
  receive({"56780001", "1234"});
  clock.advance(200);
  EXPECT_EQ(signals(), Lines{});
  traces.signalling_hdlc = true;
  logs.clear();
  receive({"1234A0"});  // too short for the bit: at once
  EXPECT_EQ(signals(), Lines{batch({""})});
  const std::string trace =
      "hdlc [3/0]: do_read\nHDLC[3]: rx 12 34 A0\nHdlcSlot[2/*]: on_hdlc_receive\n"
      "HdlcSlot[2/*]: 12 34 A0\nHdlcSlot[2/*]: flushResponce: 1\n";
  EXPECT_EQ(logs.str().substr(0, trace.size()), trace);
  send({"\xEE"});
  EXPECT_EQ(control("mcc written"), Lines{"256 123405EE"});  // rx_seq 5 from the last frame
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
  const std::string info =
      "ioctl : hdlcLinkInfo : {\n  txSU 120,\n  txDiscard 0,\n  txError 0,\n  txOverflow 1,\n  rxSU 1\n}";
  EXPECT_EQ(signals(), Lines{info});
  // Deactivation reports at once and starts the period again; the channel stays open.
  EXPECT_TRUE(slot->IDeactivate());
  EXPECT_EQ(signals(), Lines{info});
  clock.advance(2999);
  EXPECT_EQ(signals(), Lines{});
  clock.advance(1);
  EXPECT_EQ(signals().size(), 1u);
  EXPECT_TRUE(slot->channel().is_open());
}

TEST_F(RawHdlc, AFailingChannelIsReportedOrLoggedAndFramesWaitForTheNextOne) {
  control("absent mcc");
  ASSERT_TRUE(slot->IHwConnectReceiver(trunk));
  EXPECT_EQ(signals(), Lines{"deactivated : networkError"});
  control("present mcc");
  connect();
  control("mcc hangup 256");
  ASSERT_TRUE(Testing::runUntil([&] { return !slot->channel().is_open(); }));
  EXPECT_NE(logs.str().find("hdlc [3/0]: read error: end of file\nHdlcSlot[2/*]: on_hdlc_error\n"), std::string::npos);
  EXPECT_EQ(signals(), Lines{});
  EXPECT_TRUE(send({"\x22"}));
  connect();
  EXPECT_EQ(control("mcc written"), Lines{"256 12340022"});
  EXPECT_TRUE(slot->IHwDisconnectReceiver(trunk));
  EXPECT_EQ(control("mcc channels"), Lines{});
}

}  // namespace
