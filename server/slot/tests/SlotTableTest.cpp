// The slot table and the connect logic in this process, behind the real
// controller server: a test-only slot kind whose priority, channel and
// destruction each case chooses and whose hardware hooks are logged, the
// switch read back from the simulated board, replies and signals in value
// notation. The controller sessions are golden scripts (golden/*.txt).

#include <gtest/gtest.h>
#include <time.h>

#include <cerrno>
#include <string>
#include <vector>

#include "hardware/HwMux.h"
#include "server/slot/Slot.h"
#include "server/slot/SlotFactory.h"
#include "server/slot/Slots.h"
#include "testing/ServiceFixture.h"

namespace {

using Texts = std::vector<std::string>;

// The seconds of every sleep() the code under test asked for, in order.
std::vector<unsigned>& sleeps() {
  static std::vector<unsigned> asked;
  return asked;
}

}  // namespace

// The slot table pauses with a plain sleep(): this program's own, which notes
// each pause and then sleeps as asked, so that a test checks the pauses
// themselves and not the time a loaded machine took around them.
extern "C" unsigned sleep(unsigned seconds) {
  sleeps().push_back(seconds);
  timespec left{time_t(seconds), 0};
  while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
  return 0;
}

namespace {

// Created from a trunk request: trunk = connection priority, timeslot = channel
// 8192 + timeslot; timeslot 31 defers its destruction.
class TestSlot : public Slot {
public:
  TestSlot(int priority, int channel, bool defers) : priority(priority), channel(channel), defers(defers) {}
  void IAfterCreate() override { OnActivated(); }
  bool IBeforeDestroy() override { return !defers; }
  int GetConnectionPriority() override { return priority; }
  bool IHwConnectTransmitter(Slot& rx) override { return note("tx-connect", &rx) && Slot::IHwConnectTransmitter(rx); }
  bool IHwConnectReceiver(Slot& tx) override { return note("rx-connect", &tx) && Slot::IHwConnectReceiver(tx); }
  bool IHwDisconnectTransmitter(Slot& rx) override { return note("tx-cut", &rx) && Slot::IHwDisconnectTransmitter(rx); }
  bool IHwDisconnectReceiver(Slot& tx) override { return note("rx-cut", &tx) && Slot::IHwDisconnectReceiver(tx); }
  bool IOnOutputStream() override { return true; }
  bool IOnInputStream() override { return true; }
  void IOnOutputRelease() override { note("output-release"); }
  void IOnInputRelease() override { note("input-release"); }
  int IGetTransmitChannel() override { return channel; }
  int IGetReceiveChannel() override { return channel; }
  const char* GetName() const override { return "test"; }

private:
  bool note(const char* what, Slot* peer = nullptr) {
    std::clog << *this << ' ' << what;
    if (peer) std::clog << ' ' << *peer;
    std::clog << '\n';
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

Slots& slots() { return Slots::instance(); }

class SlotTable : public Testing::ServiceTest {
protected:
  void bind() override {
    factory();
    Testing::bindProbesOnce();
    static bool bound = false;
    if (!bound) CtrlSrv::ctrlServer.Bind(&slots());
    bound = true;
    UseSwitch(HwMux::instance());
  }
  void TearDown() override {
    c.reset();
    Testing::runUntil([] { return slots().Live().empty(); });
    ServiceTest::TearDown();
  }

  // Besides the common inputs: "create N PRIORITY TIMESLOT" makes a test slot;
  // "listeners N" names the slots that listen to slot N; "release N" ends
  // the deferred destruction of slot N.
  std::string step(const std::string& input) override {
    std::istringstream in(input);
    std::string word;
    unsigned n = 0;
    in >> word >> n;
    if (word == "create") {
      int priority = 0, timeslot = 0;
      in >> priority >> timeslot;
      return ServiceTest::step("{ slot " + std::to_string(n) + ", pdu command : create : trunk : { trunk " +
                               std::to_string(priority) + ", timeslot " + std::to_string(timeslot) + " } }");
    }
    if (word == "listeners") {
      std::ostringstream out;
      for (Slot* listener : slots().Find(n)->GetListeners()) out << *listener << "\n";
      return out.str();
    }
    if (word == "release") {
      slots().Find(n)->on_release();
      std::string text;
      for (const std::string& frame : settle()) text += frame + "\n";
      return text + logged();
    }
    return ServiceTest::step(input);
  }
  ::testing::AssertionResult script(const std::string& name) {
    return ServiceTest::script("server/slot/tests/golden/" + name + ".txt");
  }
  std::string texts(const Texts& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
  }
};

TEST_F(SlotTable, NumbersAtBothEndsAndHowSlotsPrint) {
  step("create 0 0 1");
  step("create 1023 0 2");
  std::ostringstream out;
  TestSlot loose(0, 0, false);
  out << *slots().Find(0) << ' ' << *slots().Find(1023) << ' ' << loose;
  EXPECT_EQ(out.str(), "00:test 1023:test na:test");
  EXPECT_EQ(send("{ seq 3, slot 1023, pdu command : destroy : NULL }"),
            Texts{"{ seq 3, slot 1023, pdu response : success : NULL }"});
  EXPECT_EQ(slots().Find(1023), nullptr);
  EXPECT_EQ(factory().GetSlots().size(), 1u);
}

TEST_F(SlotTable, CommandsOnMissingSlotsAndRequestsTheKindRefuses) {
  EXPECT_TRUE(script("missing"));
  EXPECT_EQ(factory().GetSlots().size(), 1u);
  // connect 1024 in the two octets of the slot field: nothing checks it on decode.
  c->frames.clear();
  EXPECT_EQ(Testing::notation(exchange(*c, "400004040400")[0]), "{ slot 4, pdu response : error : invalidSlot }");
}

TEST_F(SlotTable, TheHigherPriorityDrivesTheHardwareAndATieGoesToTheReceiver) { EXPECT_TRUE(script("priority")); }

TEST_F(SlotTable, ADestroyThatWaitsIsAnsweredLaterAndBlocksItsNumber) {
  EXPECT_TRUE(script("deferred"));
  EXPECT_TRUE(factory().GetSlots().empty());
}

TEST_F(SlotTable, ControllerLossDestroysEverySlotPausingOnlyForThoseThatWait) {
  step("create 1 0 1");
  step("create 2 0 2");
  step("{ slot 1, pdu command : connect : 2 }");
  sleeps().clear();
  c.reset();
  ASSERT_TRUE(Testing::runUntil([] { return slots().Live().empty(); }));
  EXPECT_EQ(sleeps(), std::vector<unsigned>{}) << "no pause";
  EXPECT_EQ(Testing::control("hal switch map"), Texts{"8194 = 0xD5"});

  c = connect();
  step("create 1 0 31");
  step("create 2 0 2");
  step("{ seq 9, slot 1, pdu command : destroy : NULL }");
  sleeps().clear();
  c.reset();
  // The second's pause lies within the run: room for it on a loaded machine.
  ASSERT_TRUE(Testing::runUntil([] { return slots().Live().empty(); }, Testing::PatienceMs));
  EXPECT_EQ(sleeps(), std::vector<unsigned>{1}) << "one pause of a second";
  EXPECT_TRUE(factory().GetSlots().empty());
}

TEST_F(SlotTable, QueryAnswersThenReportsAndTrunkStatusReachesTheFactories) {
  EXPECT_EQ(send("{ seq 1, pdu command : query : NULL }")[0], "{ seq 1, pdu response : success : NULL }");
  LGCP::Signal status;
  status.select_trunkStatus().set_trunk(2);
  factory().signals.clear();
  slots().OnSignal(status);
  LGCP::Signal other;
  other.select_activated();
  slots().OnSignal(other);
  ASSERT_EQ(factory().signals.size(), 1u);
  EXPECT_EQ(factory().signals[0].find("trunkStatus"), 0u);
}

TEST_F(SlotTable, EachSenderSendsItsAlternativeWithTheSlotsNumber) {
  step("create 9 0 9");
  Slot& s = *slots().Find(9);
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
  EXPECT_TRUE(Testing::matchesGolden("server/slot/tests/golden/senders.txt", texts(settle())));
}

TEST_F(SlotTable, ReceiverEventsBecomeSignals) {
  step("create 9 0 9");
  Slot& s = *slots().Find(9);
  s.processTonecEvent({0x0B00, 77});
  s.processTonecEvent({0x1500, 1});
  s.processTonecEvent({0x1600, 2});
  s.processTonecEvent({17, 3});
  s.processTonecEvent({18, 4});
  s.processTonecEvent({5, 5});
  s.processToneGenEvent();
  namespace Dsp = Board::Dev::Dsp;
  Dsp::ToneReport tone{1020, 1};
  s.processToneFltEvent(&tone);
  s.processVADEvent({-1, 1});
  s.processVADEvent({-1, -1});
  s.processSDEvent({0});
  s.processSDEvent({-3});
  Dsp::FlagsReport flags{Dsp::FlagsReport::VadTx | Dsp::FlagsReport::SelcalInProgress,
                         Dsp::FlagsReport::VadRx | Dsp::FlagsReport::VadTx | Dsp::FlagsReport::SelcalInProgress};
  s.processFlagsEvent(&flags);
  Dsp::BssReport bss{1.5f};
  s.processBSSEvent(&bss);
  s.processRtpEvent({1, 7, 300});
  s.processRtpEvent({2, 7, 300});
  EXPECT_TRUE(Testing::matchesGolden("server/slot/tests/golden/receiver-events.txt", texts(settle()) + logged()));
}

}  // namespace
