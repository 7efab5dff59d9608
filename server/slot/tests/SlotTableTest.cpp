// The slot table and the connect logic in this process, behind the real
// controller server: a test-only slot kind whose priority, channel and
// destruction each case chooses, the switch read back from the simulated
// board, replies and signals decoded from the controller's end.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "board/sim/Hal.h"
#include "board/sim/HalSwitch.h"
#include "board/sim/Sim.h"
#include "hardware/HwMux.h"
#include "server/slot/Slot.h"
#include "server/slot/SlotFactory.h"
#include "server/slot/Slots.h"
#include "testing/CtrlServerFixture.h"
#include "testing/Lgcp.h"

namespace {

std::vector<std::string> hooks;

// Created from a trunk request: trunk = connection priority, timeslot = channel
// 8192 + timeslot; timeslot 31 defers its destruction.
class TestSlot : public Slot {
public:
  TestSlot(int priority, int channel, bool defers) : priority(priority), channel(channel), defers(defers) {}
  void IAfterCreate() override { OnActivated(); }
  bool IBeforeDestroy() override { return !defers; }
  int GetConnectionPriority() override { return priority; }
  bool IHwConnectTransmitter(Slot& rx) override { return note("tx-connect", rx) && Slot::IHwConnectTransmitter(rx); }
  bool IHwConnectReceiver(Slot& tx) override { return note("rx-connect", tx) && Slot::IHwConnectReceiver(tx); }
  bool IHwDisconnectTransmitter(Slot& rx) override { return note("tx-cut", rx) && Slot::IHwDisconnectTransmitter(rx); }
  bool IHwDisconnectReceiver(Slot& tx) override { return note("rx-cut", tx) && Slot::IHwDisconnectReceiver(tx); }
  bool IOnOutputStream() override { return true; }
  bool IOnInputStream() override { return true; }
  void IOnOutputRelease() override { hooks.push_back(Name() + " output-release"); }
  void IOnInputRelease() override { hooks.push_back(Name() + " input-release"); }
  int IGetTransmitChannel() override { return channel; }
  int IGetReceiveChannel() override { return channel; }
  const char* GetName() const override { return "test"; }

private:
  std::string Name() const {
    std::ostringstream out;
    Put(out);
    return out.str();
  }
  bool note(const char* what, Slot& peer) {
    std::ostringstream out;
    out << *this << ' ' << what << ' ' << peer;
    hooks.push_back(out.str());
    return true;
  }
  int priority;
  int channel;
  bool defers;
};

class TestFactory : public SlotFactory {
public:
  const char* GetName() const override { return "Test"; }
  Slot* INewSlot(const LGCP::CreateParams& p) override {
    if (p.currentSelection() != LGCP::CreateParams::e_trunk) return nullptr;
    const int ts = p.get_trunk().get_timeslot().getValue();
    return new TestSlot(p.get_trunk().get_trunk().getValue(), HwMux::FirstOutput + ts, ts == 31);
  }
  void SelfSignal(const LGCP::Signal& sig) override { signals.push_back(sig.asValueNotation()); }
  std::vector<std::string> signals;
};

TestFactory& factory() {
  static TestFactory f;
  return f;
}

std::string text(const std::string& hexPayload) { return Testing::notation(hexPayload); }
std::string encode(const std::string& valueNotation) { return Testing::lgcp(valueNotation); }

std::string mapOf(int32_t output) {
  return Board::Sim::with<Board::Sim::Hal>("hal", [&](Board::Sim::Hal& hal) {
    const auto& outs = hal.part<Board::Sim::HalSwitch>()->outputs();
    auto it = outs.find(output);
    return it == outs.end() ? std::string("off") : Board::Sim::HalSwitch::format(it->first, it->second);
  });
}

class SlotTable : public Testing::CtrlServerTest {
protected:
  void SetUp() override {
    factory();
    CtrlServerTest::SetUp();
    static bool bound = false;
    if (!bound) CtrlSrv::ctrlServer.Bind(&Slots::instance());
    bound = true;
    HwMux::instance();
    controller = connect();
    hooks.clear();
  }
  void TearDown() override {
    controller.reset();
    Testing::runUntil([] { return Slots::instance().Live().empty(); });
    CtrlServerTest::TearDown();
  }

  // The replies and signals to one command, as value notation.
  std::vector<std::string> send(const std::string& valueNotation, size_t frames = 1) {
    std::vector<std::string> out;
    for (const std::string& f : exchange(*controller, encode(valueNotation), frames)) out.push_back(text(f));
    return out;
  }
  void create(unsigned slot, int priority, int timeslot) {
    const std::string n = std::to_string(slot);
    ASSERT_EQ(send("{ slot " + n + ", pdu command : create : trunk : { trunk " + std::to_string(priority) +
                       ", timeslot " + std::to_string(timeslot) + " } }",
                   2),
              (std::vector<std::string>{"{ slot " + n + ", pdu response : success : NULL }",
                                        "{ slot " + n + ", pdu signal : activated : NULL }"}));
  }
  std::vector<std::string> signals() {
    controller->frames.clear();
    Testing::runFor(20);
    controller->pump();
    std::vector<std::string> out;
    for (const std::string& f : controller->frames) out.push_back(text(f));
    return out;
  }

  std::unique_ptr<Testing::Controller> controller;
};

using Texts = std::vector<std::string>;

TEST_F(SlotTable, NumbersAtBothEndsAndHowSlotsPrint) {
  create(0, 0, 1);
  create(1023, 0, 2);
  std::ostringstream out;
  out << *Slots::instance().Find(0) << ' ' << *Slots::instance().Find(1023);
  TestSlot loose(0, 0, false);
  out << ' ' << loose;
  EXPECT_EQ(out.str(), "00:test 1023:test na:test");
  EXPECT_EQ(factory().GetSlots().size(), 2u);
  EXPECT_EQ(send("{ seq 3, slot 1023, pdu command : destroy : NULL }"),
            Texts{"{ seq 3, slot 1023, pdu response : success : NULL }"});
  EXPECT_EQ(factory().GetSlots().size(), 1u);
  EXPECT_EQ(Slots::instance().Find(1023), nullptr);
}

TEST_F(SlotTable, CommandsOnMissingSlotsAndRequestsTheKindRefuses) {
  create(4, 0, 1);
  EXPECT_EQ(send("{ slot 4, pdu command : connect : 5 }"), Texts{"{ slot 4, pdu response : error : slotNotExists }"});
  EXPECT_EQ(send("{ slot 5, pdu command : connect : 4 }"), Texts{"{ slot 5, pdu response : error : slotNotExists }"});
  // connect 1024 in the two octets of the slot field: nothing checks it on decode.
  EXPECT_EQ(text(exchange(*controller, "400004040400")[0]), "{ slot 4, pdu response : error : invalidSlot }");
  EXPECT_EQ(send("{ slot 5, pdu command : destroy : NULL }"), Texts{"{ slot 5, pdu response : error : slotNotExists }"});
  EXPECT_EQ(send("{ slot 4, pdu command : activate : empty : NULL }"), Texts{"{ slot 4, pdu response : error : unsupported }"});
  EXPECT_EQ(send("{ slot 4, pdu command : deactivate : NULL }"), Texts{"{ slot 4, pdu response : error : unsupported }"});
  EXPECT_EQ(send("{ slot 4, pdu command : userData : '01'H }"), Texts{"{ slot 4, pdu response : error : unsupported }"});
  EXPECT_EQ(send("{ slot 6, pdu command : create : ext : { transmitter 1, receiver 2 } }"),
            Texts{"{ slot 6, pdu response : error : insufficientResources }"});
  // A create over a live slot replaces it.
  create(4, 0, 2);
  EXPECT_EQ(factory().GetSlots().size(), 1u);
}

TEST_F(SlotTable, TheHigherPriorityDrivesTheHardwareAndATieGoesToTheReceiver) {
  create(1, 0, 1);  // channel 8193
  create(2, 0, 2);  // 8194
  create(3, 1, 3);  // 8195
  create(4, 2, 4);  // 8196
  signals();
  EXPECT_EQ(send("{ slot 1, pdu command : connect : 2 }", 3),
            (Texts{"{ slot 1, pdu signal : transmitter : active : 8193 }",
                   "{ slot 2, pdu signal : receiver : active : 8194 }", "{ slot 1, pdu response : success : NULL }"}));
  EXPECT_EQ(hooks, Texts{"02:test rx-connect 01:test"});
  EXPECT_EQ(mapOf(8194), "8194 <- 8193");
  hooks.clear();
  // The same pair again: nothing reaches the hardware.
  EXPECT_EQ(send("{ slot 1, pdu command : connect : 2 }"), Texts{"{ slot 1, pdu response : success : NULL }"});
  EXPECT_TRUE(hooks.empty());

  // Moving 2 to the higher source 3: the old path is cut first, the old source released.
  send("{ slot 3, pdu command : connect : 2 }", 2);
  EXPECT_EQ(hooks, (Texts{"01:test tx-cut 02:test", "03:test tx-connect 02:test", "01:test output-release"}));
  EXPECT_EQ(mapOf(8194), "8194 <- 8195");
  EXPECT_EQ(Slots::instance().Find(3)->GetListeners().size(), 1u);
  EXPECT_TRUE(Slots::instance().Find(1)->GetListeners().empty());
  hooks.clear();
  EXPECT_EQ(send("{ slot 2, pdu command : disconnect : NULL }"), Texts{"{ slot 2, pdu response : success : NULL }"});
  EXPECT_EQ(hooks, (Texts{"03:test tx-cut 02:test", "02:test input-release", "03:test output-release"}));
  EXPECT_EQ(mapOf(8194), "8194 = 0xD5");
  hooks.clear();

  // A receiver above its source drives both ways itself.
  send("{ slot 1, pdu command : connect : 4 }", 2);
  EXPECT_EQ(send("{ slot 4, pdu command : disconnect : NULL }"), Texts{"{ slot 4, pdu response : success : NULL }"});
  EXPECT_EQ(hooks, (Texts{"04:test rx-connect 01:test", "04:test rx-cut 01:test", "04:test input-release",
                          "01:test output-release"}));
  EXPECT_EQ(mapOf(8196), "8196 = 0xD5");
  // Disconnecting what has no source succeeds.
  EXPECT_EQ(send("{ slot 4, pdu command : disconnect : NULL }"), Texts{"{ slot 4, pdu response : success : NULL }"});
}

TEST_F(SlotTable, ADestroyThatWaitsIsAnsweredLaterAndBlocksItsNumber) {
  create(7, 0, 31);
  EXPECT_TRUE(sendQuietly(*controller, encode("{ seq 40, slot 7, pdu command : destroy : NULL }")).empty());
  EXPECT_EQ(send("{ seq 41, slot 7, pdu command : destroy : NULL }"),
            Texts{"{ seq 41, slot 7, pdu response : error : destroyInProgress }"});
  EXPECT_EQ(send("{ slot 7, pdu command : create : trunk : { trunk 0, timeslot 1 } }"),
            Texts{"{ slot 7, pdu response : error : destroyInProgress }"});
  Slot* waiting = Slots::instance().Find(7);
  ASSERT_NE(waiting, nullptr);
  waiting->on_release();
  EXPECT_EQ(signals(), Texts{"{ seq 40, slot 7, pdu response : success : NULL }"});
  EXPECT_EQ(Slots::instance().Find(7), nullptr);
  EXPECT_TRUE(factory().GetSlots().empty());

  // A create over a slot that waits is refused; its release later owes nobody a reply.
  create(8, 0, 31);
  EXPECT_EQ(send("{ seq 50, slot 8, pdu command : create : trunk : { trunk 0, timeslot 2 } }"),
            Texts{"{ seq 50, slot 8, pdu response : error : slotIdBusy }"});
  Slots::instance().Find(8)->on_release();
  EXPECT_EQ(signals(), Texts{});
  EXPECT_EQ(Slots::instance().Find(8), nullptr);
}

TEST_F(SlotTable, ControllerLossDestroysEverySlotPausingOnlyForThoseThatWait) {
  create(1, 0, 1);
  create(2, 0, 2);
  send("{ slot 1, pdu command : connect : 2 }", 3);
  auto start = std::chrono::steady_clock::now();
  controller.reset();
  ASSERT_TRUE(Testing::runUntil([] { return Slots::instance().Live().empty(); }));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
  EXPECT_EQ(mapOf(8194), "8194 = 0xD5");

  controller = connect();
  create(1, 0, 31);
  create(2, 0, 2);
  sendQuietly(*controller, encode("{ seq 9, slot 1, pdu command : destroy : NULL }"));
  start = std::chrono::steady_clock::now();
  controller.reset();
  ASSERT_TRUE(Testing::runUntil([] { return Slots::instance().Live().empty(); }));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(990));
  EXPECT_TRUE(factory().GetSlots().empty());
}

TEST_F(SlotTable, QueryAnswersThenReportsAndTrunkStatusReachesTheFactories) {
  EXPECT_EQ(send("{ seq 1, pdu command : query : NULL }", 2)[0], "{ seq 1, pdu response : success : NULL }");
  LGCP::Signal status;
  status.select_trunkStatus().set_trunk(2);
  factory().signals.clear();
  Slots::instance().OnSignal(status);
  LGCP::Signal other;
  other.select_activated();
  Slots::instance().OnSignal(other);
  ASSERT_EQ(factory().signals.size(), 1u);
  EXPECT_EQ(factory().signals[0].find("trunkStatus"), 0u);
}

TEST_F(SlotTable, EachSenderSendsItsAlternativeWithTheSlotsNumber) {
  create(9, 0, 9);
  signals();
  Slot& s = *Slots::instance().Find(9);
  s.OnNumber("42");
  s.OnActivated();
  s.OnDeactivated();
  s.OnAbort(3);
  s.OnUserData({'\x01', '\x02'});
  LGCP::SDEvent sd;
  sd.set_sd_rx(true);
  s.OnSDEvent(sd);
  LGCP::IoctlResponse response;
  response.select_startPlaying();
  s.OnIoctlResponse(response);
  const std::string p = "{ slot 9, pdu signal : ";
  EXPECT_EQ(signals(), (Texts{p + "number : \"42\" }", p + "activated : NULL }", p + "deactivated : networkError }",
                              p + "abort : 3 }", p + "userData : '01 02'H }", p + "sd : { sd-rx TRUE } }",
                              p + "ioctl : startPlaying : NULL }"}));
}

TEST_F(SlotTable, ReceiverEventsBecomeSignals) {
  create(9, 0, 9);
  signals();
  Slot& s = *Slots::instance().Find(9);
  Testing::Capture err(std::cerr);
  s.processTonecEvent({0x0B00, 77});
  s.processTonecEvent({0x1500, 1});
  s.processTonecEvent({0x1600, 2});
  s.processTonecEvent({17, 3});
  s.processTonecEvent({18, 4});
  s.processTonecEvent({5, 5});
  s.processToneGenEvent();
  dsproc_tone_event tone{1020, 1};
  s.processToneFltEvent(&tone);
  s.processVADEvent({-1, 1});
  s.processVADEvent({-1, -1});
  s.processSDEvent({0});
  s.processSDEvent({-3});
  dsproc_flags_event flags{dsproc_flags_event::VadTx | dsproc_flags_event::SelcalInProgress,
                           dsproc_flags_event::VadRx | dsproc_flags_event::VadTx | dsproc_flags_event::SelcalInProgress};
  s.processFlagsEvent(&flags);
  dsproc_bss_event bss{1.5f};
  s.processBSSEvent(&bss);
  s.processRtpEvent({1, 7, 300});
  s.processRtpEvent({2, 7, 300});
  const std::string p = "{ slot 9, pdu signal : ";
  EXPECT_EQ(signals(), (Texts{p + "tonec : { timestamp 77, event iva : code : 11 } }",
                              p + "tonec : { timestamp 1, event iva : ringoff : NULL } }",
                              p + "tonec : { timestamp 3, event ced : NULL } }",
                              p + "tonec : { timestamp 4, event cng : NULL } }",
                              p + "tonec : { timestamp 5, event dtmf : 5 } }",
                              p + "tonec : { timestamp 0, event dtmfDone : NULL } }",
                              p + "tonec : { timestamp 0, event tone-presence : { freq 1020, presence TRUE } } }",
                              p + "vad : { vad-tx TRUE } }",
                              p + "sd : { sd-rx FALSE } }",
                              p + "vad : { vad-rx FALSE, vad-tx TRUE } }",
                              p + "selcal : { in-progress TRUE } }",
                              p + "bss : { score \"1.500000\" } }",
                              p + "rtp : pd : { value 7, timeout 300 } }"}));
  EXPECT_EQ(err.str(), "bad DTMF code, ignored.\nbad VAD event, ignored.\nbad SD event, ignored.\n");
}

}  // namespace
