// The DSP receiver service on the simulated "/dev/dsp": function states and
// ids, the configure records byte for byte (as the device's journal shows
// their 12 parameter bytes), the clean-up order, events with their trace
// lines, and the failure line of each request while the device is missing.

#include <gtest/gtest.h>

#include "foundation/config/TraceCtl.h"
#include "hardware/tests/ReceiverSupport.h"

using Hardware::DSProcReceiverService;
using rx::dspRequests;
using rx::Lines;

namespace {

DSProcReceiverService& service() { return DSProcReceiverService::instance(); }

std::string id(uint32_t v) { return std::to_string(v); }

class DSProcTest : public ::testing::Test {
protected:
  void SetUp() override {
    Board::Sim::reset();
    ASSERT_TRUE(service().IsOpened());
    traces.signalling_events = false;
    dspRequests();
  }
  void TearDown() override { traces.signalling_events = false; }
  rx::Logs logs;
};

TEST_F(DSProcTest, FunctionsStartUnknownOrOffAndEachKeepsItsOwnStateAndId) {
  rx::Dsp r(7);
  EXPECT_TRUE(r.disableBSS());  // known off: nothing to do
  EXPECT_TRUE(r.disableVAD());  // not known: told
  const uint32_t first = service().ids().last() + 1;
  EXPECT_TRUE(r.enableSelcalSh(true));
  EXPECT_TRUE(r.disableSelcalSh());
  EXPECT_TRUE(r.enableSelcalSh(true));
  EXPECT_TRUE(r.enableSelcalSh(true));
  EXPECT_EQ(r.ng().state, Hardware::DSProcReceiver::Off);
  EXPECT_EQ(r.selcalSh().id, first + 1);
  EXPECT_EQ(dspRequests(), (Lines{"disable 7 mask=0x1", "enable 7 mask=0x400 id=" + id(first),
                                  "disable 7 mask=0x400", "enable 7 mask=0x400 id=" + id(first + 1)}));
  EXPECT_EQ(logs.take(), "DSPROC_DISABLE VAD done: timeslot=7\n"
                         "DSPROC_ENABLE SELCAL_SH done: timeslot=7 id=" + id(first) + "\n"
                         "DSPROC_DISABLE SELCAL_SH done: timeslot=7\n"
                         "DSPROC_ENABLE SELCAL_SH done: timeslot=7 id=" + id(first + 1) + "\n");

  // Mute: both off is one disable of both bits; a direction on is an enable of its bit with an id.
  EXPECT_TRUE(r.enableMute(false, false));
  EXPECT_TRUE(r.disableMute());
  EXPECT_TRUE(r.enableMute(true, false));
  EXPECT_EQ(dspRequests(), (Lines{"disable 7 mask=0xC", "enable 7 mask=0x4 id=" + id(first + 2)}));
  EXPECT_EQ(r.muteId(), first + 2);

  // A failed request leaves the state, and uses up its id.
  Board::Sim::control("fail dsp ioctl 0x400C6402 EIO");
  EXPECT_FALSE(r.enableNG(true));
  EXPECT_EQ(r.ng().state, Hardware::DSProcReceiver::Off);
  logs.take();
  Board::Sim::control("heal dsp");
  EXPECT_TRUE(r.enableSD(true));
  EXPECT_EQ(r.sd().id, first + 4);
  EXPECT_EQ(logs.take(), "DSPROC_ENABLE SD done: timeslot=7 id=" + id(first + 4) + "\n");
}

TEST_F(DSProcTest, VadConfigurationFollowsTheDriverVersion) {
  rx::Dsp r(8);
  LGCP::VADParams v2;
  TERM::VADParamsV2& p = v2.select_v2();
  p.set_voice_th_msec(300);
  p.set_silence_th_msec(0x12345);  // low 16 bits
  p.set_e_th_dB(-40);
  LGCP::VADParams v1;
  v1.select_v1();

  EXPECT_TRUE(r.configureVAD(v2));
  EXPECT_FALSE(r.configureVAD(v1));
  EXPECT_EQ(dspRequests(), (Lines{"vad-version", "configure 8 0x1 012c2345d800000000000000", "vad-version"}));
  EXPECT_EQ(logs.take(), "DSPROC_CONFIGURE VAD ts=8\n"
                         "DSPROC_CONFIGURE VAD: params not specified for v2:  timeslot=8\n");

  Board::Sim::control("dsp version 1");
  EXPECT_TRUE(r.configureVAD(v1));
  EXPECT_TRUE(r.configureVAD(v2));
  EXPECT_EQ(dspRequests(), (Lines{"vad-version", "configure 8 0x1 000000030000007f00000000", "vad-version",
                                  "configure 8 0x1 000000030000007f00000000"}));
}

TEST_F(DSProcTest, ConfigureRecordsAndTheCleanUpUndoingExactlyWhatWasSet) {
  {
    rx::Dsp r(9);
    EXPECT_TRUE(r.configureSD());
    EXPECT_TRUE(r.configureDelays(20, 0x10000, 7));
    EXPECT_TRUE(r.configureRxGain(-6));
    EXPECT_TRUE(r.configureToneFilter(2100, 1, 500, -20));
    EXPECT_EQ(dspRequests(), (Lines{"configure 9 0x2 000000000000000000000000",
                                    "configure 9 0x20 000000140001000000000007",
                                    "configure 9 0x40 fa0000000000000000000000",
                                    "configure 9 0x100 0834010001f4ec0000000000"}));
    EXPECT_EQ(logs.take(), "DSPROC_CONFIGURE SD ts=9\n"
                           "DSPROC_CONFIGURE DELAYS ts=9 rx=20 tx=65536 selcal=7\n"
                           "DSPROC_CONFIGURE RX GAIN ts=9 gain_dB=-6\n"
                           "DSPROC_CONFIGURE TONE FILTER ts=9 freq=2100, en=1, dur_th_msec=500, det_lvl_dB=-20\n");
    r.enableVAD(true);
    r.enableBSS(true);
    r.enableNG(true);
    r.enableSelcalSh(true);
    r.enableSD(true);
    r.enableMute(true, true);
    dspRequests();
    r.CleanBeforeDestroy();
    // SD and mute stay as they are.
    EXPECT_EQ(dspRequests(), (Lines{"disable 9 mask=0x1", "disable 9 mask=0x10", "disable 9 mask=0x80",
                                    "disable 9 mask=0x400", "configure 9 0x20 000000000000000000000000",
                                    "configure 9 0x40 000000000000000000000000", "disable 9 mask=0x100"}));
    logs.take();
  }
  rx::Dsp r(10);
  // Zero delays clear the flag even when the request fails, so the clean-up leaves them alone.
  EXPECT_TRUE(r.configureDelays(1, 0, 0));
  Board::Sim::control("fail dsp ioctl 0x40146401 EIO");
  EXPECT_FALSE(r.configureDelays(0, 0, 0));
  EXPECT_FALSE(r.delaysSet());
  Board::Sim::control("heal dsp");
  dspRequests();
  r.CleanBeforeDestroy();
  EXPECT_EQ(dspRequests(), Lines{"disable 10 mask=0x100"});
  EXPECT_EQ(logs.take(), "DSPROC_CONFIGURE DELAYS ts=10 rx=1 tx=0 selcal=0\n"
                         "DSPROC_CONFIGURE DELAYS fail: timeslot=10 errno=\"Input/output error\"\n"
                         "DISABLE ALL TONE done:  ts=10\n");
}

TEST_F(DSProcTest, EventsByTypeWithTheirStateAndIdChecksAndTraceLines) {
  rx::Dsp first(11), second(11);
  ASSERT_TRUE(first.enableVAD(true));
  ASSERT_TRUE(first.enableSD(true));
  const uint32_t vadId = first.vad().id;
  const uint32_t sdId = first.sd().id;
  logs.take();
  auto control = [](const std::string& line) { EXPECT_EQ(Board::Sim::control(line).back(), "OK") << line; };
  control("dsp vad 11 2 1 0");           // tx only, with the current id
  control("dsp vad 11 3 1 1 " + id(vadId + 100));  // stale
  control("dsp sd 11 1");
  control("dsp bss 11 0.5");             // BSS is off
  control("dsp flags 11 0x60000000 0xE0000000");
  control("dsp tone 11 2100 1");
  control("dsp raw 0000000b000000000000004000000000000000000000000000");  // unknown type
  control("dsp sd 12 1");                // nobody there
  rx::readPass(service());
  EXPECT_EQ(first.events, (Lines{"vad -1 0", "sd 1", "flags 1610612736 3758096384", "tone 2100 1"}));
  EXPECT_TRUE(second.events.empty());
  EXPECT_EQ(logs.take(), "") << "drops are traced only while signalling.events is on";

  traces.signalling_events = true;
  first.disableVAD();
  first.enableBSS(true);
  logs.take();
  control("dsp vad 11 1 1 0 " + id(vadId));
  control("dsp sd 11 0 " + id(sdId + 1));
  control("dsp bss 11 0.25");
  control("dsp flags 11 1 2");
  control("dsp sd 12 1");
  rx::readPass(service());
  EXPECT_EQ(Lines(first.events.end() - 2, first.events.end()), (Lines{"bss 0.25", "flags 1 2"}));
  const std::string bss = id(first.bss().id);
  EXPECT_EQ(logs.take(),
            "dsproc event:  timeslot=11 id=" + id(vadId) + " type=1\n"
            "dsproc vad event:  dir_mask=1 vad_rx=1 vad_tx=0\n"
            "ignore spurious dsproc vad event (dsproc disabled):  timeslot=11 id=" + id(vadId) + " type=1\n"
            "dsproc event:  timeslot=11 id=" + id(sdId + 1) + " type=2\n"
            "dsproc sd event:  sd_rx=0\n"
            "ignore spurious dsproc sd event:  timeslot=11 id=" + id(sdId + 1) + " type=2 rid=" + id(sdId) + "\n"
            "dsproc event:  timeslot=11 id=" + bss + " type=16\n"
            "dsproc bss event:  score=0.25\n"
            "dsproc event:  timeslot=11 id=0 type=512\n"
            "dsproc flags event:  flags=0x1, mask=0x2\n"
            "dsproc event:  timeslot=12 id=0 type=2\n"
            "dsproc sd event:  sd_rx=1\n"
            "receive dsproc event from unknown timeslot 12\n");
}

TEST_F(DSProcTest, AMissingDeviceFailsEveryRequestWithItsLineUntilItOpensAgain) {
  rx::Dsp r(13);
  // The driver goes away; how the descriptor is dropped is the event-device
  // base's, shown with the tone receivers.
  Board::Sim::control("dsp hangup");
  rx::readPass(service(), POLLIN | POLLHUP);
  logs.take();
  Board::Sim::control("absent dsp");
  EXPECT_FALSE(r.configureSD());
  EXPECT_FALSE(r.configureVAD(LGCP::VADParams()));
  EXPECT_FALSE(r.configureDelays(1, 2, 3));
  EXPECT_FALSE(r.configureRxGain(1));
  EXPECT_FALSE(r.configureToneFilter(1, 1, 1, 1));
  EXPECT_FALSE(r.disableToneAll());
  EXPECT_FALSE(r.enableVAD(true));
  const std::string open = "open dsproc fail, VAD proceeding disabled: No such file or directory\n";
  EXPECT_EQ(logs.take(), open + "configure SD fail: (interface not opened) timeslot=13\n" +
                             open + "configure VAD fail: (interface not opened) timeslot=13\n" +
                             open + "configure Delays fail: (interface not opened) timeslot=13\n" +
                             open + "Configure Rx gain fail: (interface not opened) timeslot=13\n" +
                             open + "Configure Tone Filter fail: (interface not opened) timeslot=13\n" +
                             open + "Disable All Tone fail: (interface not opened) timeslot=13\n" +
                             "DSPROC_ENABLE VAD fail: timeslot=13 id=" + id(service().ids().last()) +
                             " errno=\"Bad file descriptor\"\n");
  Board::Sim::control("present dsp");
  EXPECT_TRUE(r.disableToneAll());
}

}  // namespace
