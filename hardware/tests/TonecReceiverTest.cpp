// The tone receiver service on the simulated "/dev/dtmf": requests byte for
// byte (as the device decodes them), detector ids and stale events, the
// timed tone sequences on a pinned loop clock, and a dead descriptor.

#include <gtest/gtest.h>

#include "hardware/tests/ReceiverSupport.h"

using Hardware::TonecReceiverService;
using rx::dtmfRequests;
using rx::Lines;
using rx::Tonec;

namespace {

TonecReceiverService& service() { return TonecReceiverService::instance(); }

size_t inject(uint32_t timeslot, uint32_t code, uint32_t id, uint32_t timestamp = 0) {
  return Board::Sim::with<Board::Sim::Dtmf>("dtmf", [&](Board::Sim::Dtmf& d) {
    return d.event(timeslot, code, id, timestamp);
  });
}

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

class TonecTest : public ::testing::Test {
protected:
  void SetUp() override {
    Board::Sim::reset();
    ASSERT_TRUE(service().IsOpened());
    dtmfRequests();
  }
  rx::Logs logs;
};

TEST_F(TonecTest, DtmfEnableIsOneRequestWithAFreshIdAndTheFlagsStaySeparateFromIva) {
  Tonec r(5);
  const uint32_t id = service().ids().last() + 1;
  EXPECT_TRUE(r.enableDTMF(true));
  EXPECT_TRUE(r.enableDTMF(true));
  EXPECT_EQ(dtmfRequests(), Lines{"enable 5 id=" + std::to_string(id)});
  EXPECT_EQ(logs.take(), "DTMF_ENABLE_DETECTOR done: timeslot=5 id=" + std::to_string(id) + "\n");
  EXPECT_EQ(r.detectorId(), id);

  // IVA has its own flag: disabling it leaves DTMF detecting, and DTMF on top of IVA is a real request.
  Tonec iva(6);
  EXPECT_TRUE(iva.enableIVA(true));
  EXPECT_TRUE(iva.enableDTMF(true));
  EXPECT_TRUE(iva.enableIVA(false));
  EXPECT_TRUE(iva.eventsOn());
  EXPECT_EQ(dtmfRequests(), (Lines{"iva-on 6", "enable 6 id=" + std::to_string(id + 1), "iva-off 6"}));
  EXPECT_EQ(logs.take(), "IVA_DETECTOR_ENABLE[6] ok\nDTMF_ENABLE_DETECTOR done: timeslot=6 id=" +
                             std::to_string(id + 1) + "\nIVA_DETECTOR_DISABLE[6] ok\n");

  EXPECT_TRUE(r.disableDTMF());
  EXPECT_TRUE(r.disableDTMF());
  EXPECT_EQ(dtmfRequests(), Lines{"disable 5"});
  EXPECT_EQ(logs.take(), "DTMF_DISABLE_DETECTOR done: timeslot=5\n");
}

TEST_F(TonecTest, AFailedEnableKeepsTheFlagsButUsesUpItsId) {
  Tonec r(9);
  Board::Sim::control("fail dtmf ioctl 0x40084203 EIO");
  const uint32_t id = service().ids().last() + 1;
  EXPECT_FALSE(r.enableDTMF(true));
  EXPECT_FALSE(r.isDTMFEnabled());
  EXPECT_EQ(r.detectorId(), 0u);
  EXPECT_EQ(logs.take(), "DTMF_ENABLE_DETECTOR fail: timeslot=9 id=" + std::to_string(id) +
                             " errno=\"Input/output error\"\n");
  Board::Sim::control("heal dtmf");
  EXPECT_TRUE(r.enableDTMF(true));
  EXPECT_EQ(r.detectorId(), id + 1);

  // The id counter skips 0 when it wraps.
  service().ids().restart(0xFFFFFFFF);
  Tonec next(10);
  EXPECT_TRUE(next.enableDTMF(true));
  EXPECT_EQ(next.detectorId(), 1u);
}

TEST_F(TonecTest, EventsReachTheOldestReceiverOfTheirTimeslotOnlyWithTheCurrentId) {
  Tonec first(12), second(12), other(13);
  ASSERT_TRUE(first.enableDTMF(true));
  ASSERT_TRUE(second.enableDTMF(true));
  const std::string id = std::to_string(first.detectorId());
  logs.take();

  ASSERT_EQ(inject(12, 7, first.detectorId(), 4242), 1u);
  inject(12, 8, first.detectorId() - 1, 1);  // queued before the last enable
  inject(13, 9, 0, 2);                        // nothing switched on there
  inject(14, 1, 0, 3);                        // nobody listens there
  Board::Sim::control("dtmf raw 0000000500000000");  // too short to be an event
  inject(12, 0x1500, first.detectorId(), 5);
  rx::readPass(service());

  EXPECT_EQ(first.events, (std::vector<std::pair<uint32_t, uint32_t>>{{7, 4242}, {0x1500, 5}}));
  EXPECT_TRUE(second.events.empty());
  EXPECT_TRUE(other.events.empty());
  const std::string stale = std::to_string(first.detectorId() - 1);
  EXPECT_EQ(logs.take(),
            "dtmf event:  timestamp=4242 timeslot=12 code=7 id=" + id + "\n"
            "dtmf event:  timestamp=1 timeslot=12 code=8 id=" + stale + "\n"
            "ignore spurious dtmf event:  timestamp=1 timeslot=12 code=8 id=" + stale + " rid=" + id + "\n"
            "dtmf event:  timestamp=2 timeslot=13 code=9 id=0\n"
            "ignore spurious dtmf event (DTMF disabled):  timestamp=2 timeslot=13 code=9 id=0\n"
            "dtmf event:  timestamp=3 timeslot=14 code=1 id=0\n"
            "receive tonec event from unknown timeslot 14\n"
            "dtmf event:  timestamp=5 timeslot=12 code=5376 id=" + id + "\n");
}

TEST_F(TonecTest, DigitsPlayWithTheirDurationsAndASequenceCanBeReplacedWhilePlaying) {
  rx::PinnedClock clock;
  Tonec r(20);
  LGCP::TranslateDtmfParams p = digits({{697, 1209}, {770, 1336}, {852, 1477}});
  p.set_toneDuration(100);
  p.set_pauseDuration(40);
  p.set_amp1(70000);  // low 16 bits: 4464
  EXPECT_TRUE(r.translateDTMF(p));
  EXPECT_TRUE(r.isBusy());
  EXPECT_EQ(dtmfRequests(), Lines{"tone 20 697 1209 4464 16384"});
  clock.advance(99);
  EXPECT_EQ(dtmfRequests(), Lines{});
  clock.advance(1);
  EXPECT_EQ(dtmfRequests(), Lines{"tone 20 1000 1000 0 0"});

  // Replaced while the pause runs: the timer goes on, the next digit is the new list's first, defaults apply.
  EXPECT_TRUE(r.translateDTMF(digits({{941, 1633}})));
  EXPECT_EQ(dtmfRequests(), Lines{});
  clock.advance(40);
  EXPECT_EQ(dtmfRequests(), Lines{"tone 20 941 1633 16384 16384"});
  clock.advance(70);
  EXPECT_EQ(dtmfRequests(), Lines{"tone 20 1000 1000 0 0"});
  EXPECT_EQ(r.completes, 0);
  clock.advance(70);
  EXPECT_EQ(dtmfRequests(), Lines{"tone 20 0 0 0 0"});
  EXPECT_EQ(r.completes, 1);
  EXPECT_FALSE(r.isBusy());

  // An empty sequence ends at once; a stop without force only stops a playing sequence.
  EXPECT_TRUE(r.translateDTMF(digits({})));
  EXPECT_EQ(r.completes, 2);
  EXPECT_FALSE(r.disableToneGenerator(false));
  EXPECT_TRUE(r.translateDTMF(digits({{1, 2}})));
  EXPECT_TRUE(r.disableToneGenerator(false));
  clock.advance(1000);
  EXPECT_EQ(dtmfRequests(), (Lines{"tone 20 0 0 0 0", "tone 20 1 2 16384 16384", "tone 20 0 0 0 0"}));
  EXPECT_EQ(r.completes, 2);
}

TEST_F(TonecTest, RingBackCadenceRunsUntilCancelledAndADigitSequenceTakesItOver) {
  rx::PinnedClock clock;
  Tonec r(21);
  EXPECT_TRUE(r.activateAudibleCall());
  clock.advance(1000);
  clock.advance(2999);
  EXPECT_EQ(dtmfRequests(), (Lines{"tone 21 425 0 2048 2048", "tone 21 1000 1000 0 0"}));
  clock.advance(1);
  EXPECT_EQ(dtmfRequests(), Lines{"tone 21 425 0 2048 2048"});
  EXPECT_TRUE(r.cancelAudibleCall());
  clock.advance(10000);
  EXPECT_EQ(dtmfRequests(), Lines{"tone 21 0 0 0 0"});

  // A sequence takes the timer; cancel leaves it alone and the cadence does not come back.
  r.activateAudibleCall();
  r.translateDTMF(digits({{5, 6}}));
  EXPECT_TRUE(r.cancelAudibleCall());
  clock.advance(70);
  clock.advance(70);
  clock.advance(5000);
  EXPECT_EQ(dtmfRequests(), (Lines{"tone 21 425 0 2048 2048", "tone 21 5 6 16384 16384", "tone 21 1000 1000 0 0",
                                   "tone 21 0 0 0 0"}));
  EXPECT_EQ(r.completes, 1);

  // Ring-back started over a playing sequence ends that sequence.
  r.translateDTMF(digits({{5, 6}, {7, 8}}));
  r.activateAudibleCall();
  EXPECT_FALSE(r.isBusy());
  EXPECT_TRUE(r.cancelAudibleCall());
  clock.advance(5000);
  EXPECT_EQ(dtmfRequests(), (Lines{"tone 21 5 6 16384 16384", "tone 21 425 0 2048 2048", "tone 21 0 0 0 0"}));
}

TEST_F(TonecTest, SelcalNeedsFourSignsAndSendsTheFirstFour) {
  Tonec r(22);
  TERM::SelcalCommand c;
  c.set_signs("123");
  EXPECT_FALSE(r.translateSelcal(c));
  EXPECT_EQ(logs.take(), "SELCAL_DIAL fail: timeslot=22 incorect signs:123\n");
  c.set_signs("ABCDEF");
  EXPECT_TRUE(r.translateSelcal(c));
  c.set_amp(0x12345);
  c.set_signs("KLMN");
  EXPECT_TRUE(r.translateSelcal(c));
  EXPECT_EQ(dtmfRequests(), (Lines{"selcal 22 amp=12000 signs=ABCD", "selcal 22 amp=9029 signs=KLMN"}));
  Board::Sim::control("fail dtmf ioctl 0x400C420E EBUSY");
  EXPECT_FALSE(r.translateSelcal(c));
  EXPECT_EQ(logs.take(), "SELCAL_DIAL fail: timeslot=22 errno=\"Device or resource busy\"\n");
}

TEST_F(TonecTest, SettingsAndCleanUpRequestsWithTheirLines) {
  {
    Tonec r(30);
    LGCP::DTMFParams d;
    d.get_threshold().set_twist(8);
    d.get_threshold().set_ratio(65535);
    d.get_threshold().set_noise(3);
    d.get_level().set_silence(40);
    LGCP::IVAParams iva;
    iva.set_det_lvl_dB(-30);
    EXPECT_TRUE(r.configureDTMF(d));
    EXPECT_TRUE(r.configureIVA(iva));
    EXPECT_TRUE(r.echoCancel(true));
    EXPECT_TRUE(r.enableDTMFReject(true));
    EXPECT_TRUE(r.enableIVA(true));
    EXPECT_TRUE(r.enableDTMF(true));
    Board::Sim::control("fail dtmf ioctl 0x40044207 ENODEV");
    EXPECT_FALSE(r.echoCancel(false));
    EXPECT_EQ(dtmfRequests(), (Lines{"configure 30 twist=8 ratio=65535 silence=40 noise=3", "iva-configure 30 level=-30",
                                     "echo-on 30", "reject-on 30", "iva-on 30",
                                     "enable 30 id=" + std::to_string(r.detectorId())}));
    EXPECT_EQ(logs.take(), "DTMF_CONFIGURE_DETECTOR ts=30 twist=8 ratio=65535 noise=3 silence=40\n"
                           "IVA_CONFIGURE_DETECTOR ts=30 det_lvl_dB=-30\n"
                           "CHANNEL_LMS_ON[30] ok\nDTMF_REJECTION_ENABLE[30] ok\nIVA_DETECTOR_ENABLE[30] ok\n"
                           "DTMF_ENABLE_DETECTOR done: timeslot=30 id=" + std::to_string(r.detectorId()) + "\n"
                           "CHANNEL_LMS_OFF fail: timeslot=30 errno=\"No such device\"\n");
  }
  // The receiver's destruction switched off what it had switched on, in order.
  EXPECT_EQ(dtmfRequests(), (Lines{"disable 30", "iva-off 30", "reject-off 30"}));
}

TEST_F(TonecTest, ADeadDescriptorLeavesThePollSetOnceAndAConfigureOpensItAgain) {
  Tonec r(40);
  ASSERT_TRUE(r.enableDTMF(true));
  inject(40, 3, r.detectorId());
  Board::Sim::control("dtmf hangup");
  logs.take();
  rx::readPass(service(), POLLIN | POLLHUP);
  EXPECT_FALSE(service().IsOpened());
  EXPECT_FALSE(multiplexer.event_exists(&service()));
  // The event queued before the hang-up was still delivered.
  EXPECT_EQ(r.events.size(), 1u);
  const std::string log = logs.take();
  EXPECT_NE(log.find("tonec device lost: end of file\n"), std::string::npos) << log;
  EXPECT_EQ(rx::count(log, "lost"), 1u);

  // Requests fail on the missing descriptor; a configure opens the device again, when it can.
  EXPECT_FALSE(r.enableToneGenerator(1, 2, 3, 4));
  EXPECT_EQ(logs.take(), "DTMF_DIAL fail: timeslot=40 errno=\"Bad file descriptor\"\n");
  Board::Sim::control("absent dtmf");
  EXPECT_FALSE(r.configureIVA(LGCP::IVAParams()));
  EXPECT_EQ(logs.take(), "open tonec fail, DTMF proceeding disabled: No such file or directory\n"
                         "configure IVA fail: (interface not opened) timeslot=40\n");
  Board::Sim::control("present dtmf");
  EXPECT_TRUE(r.configureIVA(LGCP::IVAParams()));
  EXPECT_TRUE(service().IsOpened());
  EXPECT_TRUE(multiplexer.event_exists(&service()));
}

}  // namespace
