// The DSP receiver service on the simulated "/dev/dsp": function states and
// ids, the configure records byte for byte (as the device's journal shows
// their 12 parameter bytes), the clean-up order, events with their trace
// lines, and the failure line of each request while the device is missing.
// Each test's steps, requests and log lines are its golden file's, golden/dsp-*.txt.

#include "hardware/tests/ReceiverSupport.h"

using rx::dsproc;
using rx::Lines;

namespace {

using DSProcTest = rx::ReceiverTest;

TEST_F(DSProcTest, FunctionsStartUnknownOrOffAndEachKeepsItsOwnStateAndId) {
  rx::Dsp r(7);
  step("7 disable BSS, known off: nothing to do", r.disableBSS());
  step("7 disable VAD, not known: told", r.disableVAD());
  step("7 enable SELCAL_SH", r.enableSelcalSh(true));
  step("7 disable SELCAL_SH", r.disableSelcalSh());
  step("7 enable SELCAL_SH", r.enableSelcalSh(true));
  step("7 enable SELCAL_SH again", r.enableSelcalSh(true));
  EXPECT_EQ(r.ng().state, Hardware::DSProcReceiver::Off);
  EXPECT_EQ(r.selcalSh().id, 102u);

  // Mute: both off is one disable of both bits; a direction on is an enable of its bit with an id.
  step("7 mute neither way", r.enableMute(false, false));
  step("7 unmute", r.disableMute());
  step("7 mute receive", r.enableMute(true, false));
  EXPECT_EQ(r.muteId(), 103u);

  // A failed request leaves the state, and uses up its id.
  board("fail dsp ioctl 0x400C6402 EIO");
  step("7 enable NG", r.enableNG(true));
  EXPECT_EQ(r.ng().state, Hardware::DSProcReceiver::Off);
  board("heal dsp");
  step("7 enable SD", r.enableSD(true));
  EXPECT_EQ(r.sd().id, 105u);
  EXPECT_TRUE(golden("dsp-functions"));
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

  step("8 configure VAD v2", r.configureVAD(v2));
  step("8 configure VAD v1", r.configureVAD(v1));
  board("dsp version 1");
  step("8 configure VAD v1", r.configureVAD(v1));
  step("8 configure VAD v2", r.configureVAD(v2));
  EXPECT_TRUE(golden("dsp-vad"));
}

TEST_F(DSProcTest, ConfigureRecordsAndTheCleanUpUndoingExactlyWhatWasSet) {
  rx::Dsp r(9);
  step("9 configure SD", r.configureSD());
  step("9 configure delays 20 0x10000 7", r.configureDelays(20, 0x10000, 7));
  step("9 configure rx gain -6", r.configureRxGain(-6));
  step("9 configure tone filter 2100 1 500 -20", r.configureToneFilter(2100, 1, 500, -20));
  step("9 enable every function", r.enableVAD(true) && r.enableBSS(true) && r.enableNG(true) &&
                                      r.enableSelcalSh(true) && r.enableSD(true) && r.enableMute(true, true));
  // SD and mute stay as they are.
  r.CleanBeforeDestroy();
  step("9 clean up");

  // Zero delays clear the flag even when the request fails, so the clean-up leaves them alone.
  rx::Dsp z(10);
  step("10 configure delays 1 0 0", z.configureDelays(1, 0, 0));
  board("fail dsp ioctl 0x40146401 EIO");
  step("10 configure delays 0 0 0", z.configureDelays(0, 0, 0));
  EXPECT_FALSE(z.delaysSet());
  board("heal dsp");
  z.CleanBeforeDestroy();
  step("10 clean up");
  EXPECT_TRUE(golden("dsp-configure"));
}

TEST_F(DSProcTest, EventsByTypeWithTheirStateAndIdChecksAndTraceLines) {
  rx::Dsp first(11), second(11);
  step("11 enable VAD and SD", first.enableVAD(true) && first.enableSD(true));
  const std::string vad = std::to_string(first.vad().id);
  board("dsp vad 11 2 1 0");                                          // tx only, with the current id
  board("dsp vad 11 3 1 1 " + std::to_string(first.vad().id + 100));  // stale
  board("dsp sd 11 1");
  board("dsp bss 11 0.5");  // BSS is off
  board("dsp flags 11 0x60000000 0xE0000000");
  board("dsp tone 11 2100 1");
  board("dsp raw 0000000b000000000000004000000000000000000000000000");  // unknown type
  board("dsp sd 12 1");                                                 // nobody there
  readPass(dsproc());
  EXPECT_EQ(first.events, (Lines{"vad -1 0", "sd 1", "flags 1610612736 3758096384", "tone 2100 1"}));
  EXPECT_TRUE(second.events.empty());

  // Drops are traced only while signalling.events is on.
  traces.signalling_events = true;
  step("11 disable VAD, enable BSS", first.disableVAD() && first.enableBSS(true));
  board("dsp vad 11 1 1 0 " + vad);
  board("dsp sd 11 0 " + std::to_string(first.sd().id + 1));
  board("dsp bss 11 0.25");
  board("dsp flags 11 1 2");
  board("dsp sd 12 1");
  readPass(dsproc());
  EXPECT_EQ(Lines(first.events.end() - 2, first.events.end()), (Lines{"bss 0.25", "flags 1 2"}));
  EXPECT_TRUE(golden("dsp-events"));
}

TEST_F(DSProcTest, AMissingDeviceFailsEveryRequestWithItsLineUntilItOpensAgain) {
  rx::Dsp r(13);
  // The driver goes away; how the descriptor is dropped is the event-device
  // base's, shown with the tone receivers.
  board("dsp hangup");
  readPass(dsproc(), POLLIN | POLLHUP);
  board("absent dsp");
  step("13 configure SD", r.configureSD());
  step("13 configure VAD", r.configureVAD(LGCP::VADParams()));
  step("13 configure delays", r.configureDelays(1, 2, 3));
  step("13 configure rx gain", r.configureRxGain(1));
  step("13 configure tone filter", r.configureToneFilter(1, 1, 1, 1));
  step("13 disable every tone", r.disableToneAll());
  step("13 enable VAD", r.enableVAD(true));
  board("present dsp");
  step("13 disable every tone", r.disableToneAll());
  EXPECT_TRUE(golden("dsp-missing"));
}

}  // namespace
