// Conference mixers of the real daemon driven as a controller would: input
// and output slots on units learnt at a query, with their device requests
// (read back through the simulated board's journals) and detectors on a
// mixer input reporting to its slot. Learning units, refusals and a vanished
// unit are the mixer slots' own tests (slots/tdm), a dead tone device the
// receivers'.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/tests/Harness.h"

using namespace e2e;

namespace {

// Units 0 (32 channels, 16 inputs) and 1 (16 and 8): each reported with the smallest counts.
const std::string twoUnits = resources(Testing::mixerUnit(0, 16, 8) + ", " + Testing::mixerUnit(1, 16, 8));

std::string create(long seq, long slot, const std::string& what) { return cmd(seq, slot, "create : " + what); }
std::string ioctl(long seq, long slot, const std::string& what) { return cmd(seq, slot, "ioctl : " + what); }

class Mixers : public Served {
protected:
  void SetUp() override {
    Served::SetUp();
    control("mixer unit 0 32 16");
    control("mixer unit 1 16 8");
  }
  Lines journal(const std::string& device) { return control.journal(device); }

  // seq 2 query: success, the resources; the mixer's journal is emptied.
  void query() {
    expect(cmd(2, NoSlot, "query : NULL"), {ok(2, NoSlot), twoUnits});
    journal("mixer");
  }

  // Every open of the mixer device was closed again.
  bool balanced() {
    const Lines state = control("mixer state");
    if (state.empty()) return false;
    const size_t closes = state[0].find(" closes=");
    return closes != std::string::npos && state[0].substr(6, closes - 6) == state[0].substr(closes + 8);
  }
};

TEST_F(Mixers, AnInputReportsWhatItsDetectorsHearAndReleasesThemAll) {
  query();
  // An input on channel 5 summed into channel 1 of unit 0: switch channel 4101.
  expect(create(3, 1, "mixerIn : { unit 0, channel tdm : 5, summator tdm : 1, ecm { ec TRUE, es FALSE } }"),
         {ok(3, 1)});
  EXPECT_EQ(journal("mixer"), (Lines{"tdm 0.5", "add 0.1 0.5 gain=32767"}));
  const Lines state = control("mixer state");
  EXPECT_EQ(Lines(state.begin() + 1, state.end()),
            (Lines{"unit 0 channels=32 inputs=16", "point 0.1 <- 0.5*32767", "unit 1 channels=16 inputs=8"}));
  expect(ioctl(4, 1, "dtmf-enable : TRUE"), {ok(4, 1)});
  expect(ioctl(4, 1, "dtmf-enable : TRUE"), {ok(4, 1)});  // again: nothing more for the device
  EXPECT_EQ(journal("dtmf"), (Lines{"echo-on 4101", "enable 4101 id=1"}));
  EXPECT_EQ(control("dtmf event 4101 5 1 77"), Lines{"reached 1"});
  controller.expectNext({sig(1, "tonec : { timestamp 77, event dtmf : 5 }")}, "dtmf 5");

  expect(ioctl(5, 1, "vad-enable : TRUE"), {ok(5, 1)});
  control("dsp vad 4101 1 1 0");
  controller.expectNext({sig(1, "vad : { vad-rx TRUE }")}, "vad");
  expect(ioctl(6, 1, "sd-enable : TRUE"), {ok(6, 1)});
  control("dsp sd 4101 0");
  controller.expectNext({sig(1, "sd : { sd-rx FALSE }")}, "sd");
  EXPECT_EQ(journal("dsp"), (Lines{"enable 4101 mask=0x1 id=1", "enable 4101 mask=0x2 id=2"}));
  expect(ioctl(15, 1, "dtmf-disable : NULL"), {err(15, 1, "unsupported")});  // on an input

  // Destroy: the switch output, the summing point and every detector are released.
  expect(cmd(11, 1, "destroy : NULL"), {ok(11, 1)});
  EXPECT_EQ(journal("mixer"), Lines{"remove 0.1 0.5"});
  EXPECT_EQ(journal("dtmf"), Lines{"disable 4101"});
  EXPECT_EQ(journal("dsp"), (Lines{"disable 4101 mask=0x1", "disable 4101 mask=0x100"}));
  EXPECT_EQ(control("mixer state").size(), 3u) << "no summing point is left";
  EXPECT_TRUE(balanced());
}

TEST_F(Mixers, OutputsSetTheirSummingPointAndPlayTones) {
  query();
  expect(create(7, 2, "mixerOut : { unit 1, channel tdm : 2, inputs { } }"), {ok(7, 2)});
  const std::string twoInputs = "inputs { { channel tdm : 6, gain 100 }, { channel tdm : 7, gain 200 } }";
  expect(create(8, 3, "mixerOut : { unit 1, channel tdm : 4, " + twoInputs + " }"), {ok(8, 3)});
  EXPECT_EQ(journal("mixer"), (Lines{"clear 1.2", "add 1.2 1.2 gain=32767", "tdm 1.2", "clear 1.4",
                                     "add 1.4 1.6 gain=100", "add 1.4 1.7 gain=200", "tdm 1.4"}));

  expect(ioctl(9, 2, "tone-gen-enable : { freq 1000, amp 500 }"), {ok(9, 2)});
  EXPECT_EQ(journal("dtmf"), Lines{"tone 4226 1000 0 500 0"});
  // One digit of 20 ms and a pause of 20 ms: the end comes as dtmfDone.
  expect(ioctl(10, 2, "translateDTMF : { digits { { freq1 697, freq2 1209 } }, toneDuration 20, pauseDuration 20 }"),
         {ok(10, 2), sig(2, "tonec : { timestamp 0, event dtmfDone : NULL }")});
  EXPECT_EQ(journal("dtmf"), (Lines{"tone 4226 697 1209 16384 16384", "tone 4226 1000 1000 0 0", "tone 4226 0 0 0 0"}));
  expect(ioctl(14, 2, "tone-gen-disable : NULL"), {ok(14, 2)});
  EXPECT_EQ(journal("dtmf"), Lines{"tone 4226 0 0 0 0"});

  // The mixer runs out of inputs: the output is refused, the inputs it set stay.
  control("mixer unit 1 16 4");
  expect(create(8, 4, "mixerOut : { unit 1, channel tdm : 5, " + twoInputs + " }"),
         {err(8, 4, "insufficientResources")});
  EXPECT_TRUE(daemon.errHas("mixer [1]: MIX_RX_ADD fail : No space left on device\n"));
  EXPECT_EQ(control("mixer state").back(), "point 1.5 <- 1.6*100");
}

}  // namespace
