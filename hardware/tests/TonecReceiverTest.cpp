// The tone receiver service on the simulated "/dev/dtmf": requests (as the
// device decodes them), detector ids and stale events, the timed tone
// sequences on a pinned loop clock, and a dead descriptor. Each test's steps,
// requests and log lines are its golden file's, golden/tonec-*.txt.

#include "hardware/tests/ReceiverSupport.h"

using rx::Tonec;
using rx::tonec;

namespace {

LGCP::TranslateDtmfParams digits(const std::vector<std::pair<int, int>>& tones) {
  LGCP::TranslateDtmfParams p;
  for (const auto& t : tones) {
    LGCP::DualTone d;
    d.set_freq1(t.first);
    d.set_freq2(t.second);
    p.get_digits().push_back(d);
  }
  return p;
}

using TonecTest = rx::ReceiverTest;

TEST_F(TonecTest, EachEnableIsOneRequestWithAFreshIdAndTheFlagsStaySeparateFromIva) {
  Tonec r(5), iva(6), refused(9);
  step("5 enable DTMF", r.enableDTMF(true));
  step("5 enable DTMF again", r.enableDTMF(true));
  EXPECT_EQ(r.detectorId(), 101u);
  // IVA has its own flag: disabling it leaves DTMF detecting, and DTMF on top of IVA is a real request.
  step("6 enable IVA", iva.enableIVA(true));
  step("6 enable DTMF", iva.enableDTMF(true));
  step("6 disable IVA", iva.enableIVA(false));
  EXPECT_TRUE(iva.eventsOn());
  step("5 disable DTMF", r.disableDTMF());
  step("5 disable DTMF again", r.disableDTMF());

  // A failed enable keeps the flags but uses up its id.
  board("fail dtmf ioctl 0x40084203 EIO");
  step("9 enable DTMF", refused.enableDTMF(true));
  EXPECT_FALSE(refused.isDTMFEnabled());
  EXPECT_EQ(refused.detectorId(), 0u);
  board("heal dtmf");
  step("9 enable DTMF", refused.enableDTMF(true));
  EXPECT_EQ(refused.detectorId(), 104u);
  // The id counter skips 0 when it wraps.
  tonec().ids().restart(0xFFFFFFFF);
  Tonec next(10);
  step("10 enable DTMF", next.enableDTMF(true));
  EXPECT_TRUE(golden("tonec-enable"));
}

TEST_F(TonecTest, EventsReachTheOldestReceiverOfTheirTimeslotOnlyWithTheCurrentId) {
  Tonec first(12), second(12), other(13);
  step("12 enable DTMF twice", first.enableDTMF(true) && second.enableDTMF(true));
  board("dtmf event 12 7 101 4242");
  board("dtmf event 12 8 100 1");      // queued before the last enable
  board("dtmf event 13 9 0 2");        // nothing switched on there
  board("dtmf event 14 1 0 3");        // nobody listens there
  board("dtmf raw 0000000500000000");  // too short to be an event
  board("dtmf event 12 0x1500 101 5");
  readPass(tonec());
  EXPECT_EQ(first.events, (std::vector<std::pair<uint32_t, uint32_t>>{{7, 4242}, {0x1500, 5}}));
  EXPECT_TRUE(second.events.empty());
  EXPECT_TRUE(other.events.empty());
  EXPECT_TRUE(golden("tonec-events"));
}

TEST_F(TonecTest, DigitsPlayWithTheirDurationsAndASequenceCanBeReplacedWhilePlaying) {
  Tonec r(20);
  LGCP::TranslateDtmfParams p = digits({{697, 1209}, {770, 1336}, {852, 1477}});
  p.set_toneDuration(100);
  p.set_pauseDuration(40);
  p.set_amp1(70000);  // low 16 bits: 4464
  step("20 play three digits, 100 ms on, 40 ms off, amplitude 70000", r.translateDTMF(p));
  EXPECT_TRUE(r.isBusy());
  advance(99);
  advance(1);
  // Replaced while the pause runs: the timer goes on, the next digit is the new list's first, defaults apply.
  step("20 play one digit", r.translateDTMF(digits({{941, 1633}})));
  advance(40);
  advance(70);
  EXPECT_EQ(r.completes, 0);
  advance(70);
  EXPECT_EQ(r.completes, 1);
  EXPECT_FALSE(r.isBusy());

  // An empty sequence ends at once; a stop without force only stops a playing sequence.
  step("20 play no digit", r.translateDTMF(digits({})));
  EXPECT_EQ(r.completes, 2);
  step("20 stop", r.disableToneGenerator(false));
  step("20 play one digit", r.translateDTMF(digits({{1, 2}})));
  step("20 stop", r.disableToneGenerator(false));
  advance(1000);
  EXPECT_EQ(r.completes, 2);
  EXPECT_TRUE(golden("tonec-digits"));
}

TEST_F(TonecTest, RingBackCadenceRunsUntilCancelledAndADigitSequenceTakesItOver) {
  Tonec r(21);
  step("21 ring back", r.activateAudibleCall());
  advance(1000);
  advance(2999);
  advance(1);
  step("21 cancel", r.cancelAudibleCall());
  advance(10000);

  // A sequence takes the timer; cancel leaves it alone and the cadence does not come back.
  step("21 ring back", r.activateAudibleCall());
  step("21 play one digit", r.translateDTMF(digits({{5, 6}})));
  step("21 cancel", r.cancelAudibleCall());
  advance(70);
  advance(70);
  advance(5000);
  EXPECT_EQ(r.completes, 1);

  // Ring-back started over a playing sequence ends that sequence.
  step("21 play two digits", r.translateDTMF(digits({{5, 6}, {7, 8}})));
  step("21 ring back", r.activateAudibleCall());
  EXPECT_FALSE(r.isBusy());
  step("21 cancel", r.cancelAudibleCall());
  advance(5000);
  EXPECT_TRUE(golden("tonec-ringback"));
}

TEST_F(TonecTest, SelcalSettingsAndTheCleanUpOfAReceiver) {
  {
    Tonec r(22);
    TERM::SelcalCommand c;
    c.set_signs("123");
    step("22 selcal 123", r.translateSelcal(c));
    c.set_signs("ABCDEF");
    step("22 selcal ABCDEF", r.translateSelcal(c));
    c.set_amp(0x12345);
    c.set_signs("KLMN");
    step("22 selcal KLMN, amplitude 0x12345", r.translateSelcal(c));
    board("fail dtmf ioctl 0x400C420E EBUSY");
    step("22 selcal KLMN", r.translateSelcal(c));
    board("heal dtmf");

    LGCP::DTMFParams d;
    d.get_threshold().set_twist(8);
    d.get_threshold().set_ratio(65535);
    d.get_threshold().set_noise(3);
    d.get_level().set_silence(40);
    LGCP::IVAParams iva;
    iva.set_det_lvl_dB(-30);
    step("22 configure DTMF", r.configureDTMF(d));
    step("22 configure IVA", r.configureIVA(iva));
    step("22 echo canceller on", r.echoCancel(true));
    step("22 DTMF rejection on", r.enableDTMFReject(true));
    step("22 enable IVA", r.enableIVA(true));
    step("22 enable DTMF", r.enableDTMF(true));
    board("fail dtmf ioctl 0x40044207 ENODEV");
    step("22 echo canceller off", r.echoCancel(false));
    board("heal dtmf");
  }
  // The receiver's destruction switched off what it had switched on, in order.
  step("22 destroyed");
  EXPECT_TRUE(golden("tonec-settings"));
}

TEST_F(TonecTest, ADeadDescriptorLeavesThePollSetOnceAndAConfigureOpensItAgain) {
  Tonec r(40);
  step("40 enable DTMF", r.enableDTMF(true));
  board("dtmf event 40 3");
  board("dtmf hangup");
  readPass(tonec(), POLLIN | POLLHUP);
  EXPECT_FALSE(tonec().IsOpened());
  EXPECT_FALSE(multiplexer.event_exists(&tonec()));
  // The event queued before the hang-up was still delivered.
  EXPECT_EQ(r.events.size(), 1u);

  // Requests fail on the missing descriptor; a configure opens the device again, when it can.
  step("40 tone generator on", r.enableToneGenerator(1, 2, 3, 4));
  board("absent dtmf");
  step("40 configure IVA", r.configureIVA(LGCP::IVAParams()));
  board("present dtmf");
  step("40 configure IVA", r.configureIVA(LGCP::IVAParams()));
  EXPECT_TRUE(tonec().IsOpened());
  EXPECT_TRUE(multiplexer.event_exists(&tonec()));
  EXPECT_TRUE(golden("tonec-lost"));
}

}  // namespace
