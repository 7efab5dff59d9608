// Conference mixers of the real daemon driven as a controller would: units
// learnt at a query, input and output slots with their device requests
// (read back through the simulated board's journals), detectors on a mixer
// input reporting to its slot, a vanished unit, and destruction releasing
// everything. Frames are compared byte for byte; each carries its value.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/tests/Harness.h"

using e2e::Lines;

namespace {

// Two units: 0 with 32 channels and 16 inputs, 1 with 16 and 8; the report gives the smallest of each.
const std::string twoUnits =
    "2000010001000100010001000100010002000100011001100108020302011101180001010110011001080203020111011880011001080108"
    "000100010001000100";
// Unit 0 alone, with 32 channels and 16 inputs.
const std::string unitZero =
    "20000100010001000100010001000100010001000120012001100203020111011880011001080108000100010001000100";
const std::string noUnit = "200001000100010001000100010001000080011001080108000100010001000100";

class Mixers : public e2e::Served {
protected:
  void SetUp() override {
    Served::SetUp();
    control("mixer unit 0 32 16");
    control("mixer unit 1 16 8");
  }
  Lines journal(const std::string& device) { return control.journal(device); }

  // seq 2 query: success, the resources; the mixer's journal is emptied.
  void query() {
    expect("80010200", {"80010240", twoUnits});
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

TEST_F(Mixers, SlotsAreRefusedUntilAQueryHasLearntTheUnitsWhichAreResetOnce) {
  expect("c00101000108080100000103", {"c00101000161"});  // seq 1 slot 1 mixerIn {unit 0, tdm 3}: insufficientResources
  EXPECT_EQ(journal("mixer"), Lines{});
  expect("80010200", {"80010240", twoUnits});
  // Each new unit is cleared over the smallest channel count known when it came.
  Lines learnt = journal("mixer");
  ASSERT_EQ(learnt.size(), 3u + 32 + 16);
  EXPECT_EQ(Lines(learnt.begin(), learnt.begin() + 3), (Lines{"query -1", "clear 0.0", "clear 0.1"}));
  EXPECT_EQ(Lines(learnt.begin() + 32, learnt.begin() + 35), (Lines{"clear 0.31", "query 0", "clear 1.0"}));
  EXPECT_EQ(learnt.back(), "query 1");
  EXPECT_TRUE(daemon.errHas("mixer [0]: clear all inputs\nmixer [1]: clear all inputs\n"));

  // A known unit is not reset again; a channel outside the smallest unit's count, or not TDM, is refused.
  expect("80010200", {"80010240", twoUnits});
  EXPECT_EQ(journal("mixer"), (Lines{"query -1", "query 0", "query 1"}));
  expect("c00101000108080100000103", {"c00101000140"});  // mixerIn {unit 0, tdm 3}: success
  expect("c00105000208080100000110", {"c00105000261"});  // slot 2 mixerIn {unit 0, tdm 16}
  expect("c001050002080801000001ff", {"c00105000261"});  // slot 2 mixerIn {unit 0, tdm -1}
  expect("c00105000208080100800103", {"c00105000261"});  // slot 2 mixerIn {unit 0, rtp 3}
  expect("c00105000208080102000103", {"c00105000261"});  // slot 2 mixerIn {unit 2, tdm 3}
  EXPECT_EQ(journal("mixer"), Lines{"tdm 0.3"});
  EXPECT_EQ(control("voice state"), Lines{"version 1 0 0 0 0 queries=2"});

  // A channel the driver cannot locate refuses the slot with its line.
  control("fail mixer ioctl 0x800C4D06 EIO");
  expect("c00101000308080100000104", {"c00101000361"});  // slot 3 mixerIn {unit 0, tdm 4}
  EXPECT_TRUE(daemon.errHas("mixer [0]: MIX_TDM dev_no=0 type=0 number=4 fail : Input/output error\n"));
}

TEST_F(Mixers, AnInputReportsTheDigitsItsDetectorHearsAndDropsStaleOnes) {
  query();
  // seq 3 slot 1 mixerIn {unit 0, tdm 5, summator tdm 1, ecm {ec TRUE, es FALSE}}: channel 4101
  expect("c001030001080e010000010500010180", {"c00103000140"});
  EXPECT_EQ(journal("mixer"), (Lines{"tdm 0.5", "add 0.1 0.5 gain=32767"}));
  const Lines state = control("mixer state");
  EXPECT_EQ(Lines(state.begin() + 1, state.end()),
            (Lines{"unit 0 channels=32 inputs=16", "point 0.1 <- 0.5*32767", "unit 1 channels=16 inputs=8"}));
  expect("c001040001122e", {"c00104000140"});  // seq 4 dtmf-enable TRUE
  expect("c001040001122e", {"c00104000140"});  // again: nothing more for the device
  EXPECT_EQ(journal("dtmf"), (Lines{"echo-on 4101", "enable 4101 id=1"}));

  EXPECT_EQ(control("dtmf event 4101 5 1 77"), Lines{"reached 1"});
  EXPECT_EQ(controller.receive(), "40000181014d00a0");  // slot 1 tonec {timestamp 77, dtmf 5}
  control("dtmf event 4101 6 7 78");  // an id the detector never had
  EXPECT_TRUE(controller.quiet(100));
  EXPECT_TRUE(daemon.errHas("ignore spurious dtmf event:  timestamp=78 timeslot=4101 code=6 id=7 rid=1\n"));

  expect("c001050001124a", {"c00105000140"});  // seq 5 vad-enable TRUE
  control("dsp vad 4101 1 1 0");
  EXPECT_EQ(controller.receive(), "40000190a0");  // slot 1 vad {vad-rx TRUE}
  expect("c0010600011262", {"c00106000140"});  // seq 6 sd-enable TRUE
  control("dsp sd 4101 0");
  EXPECT_EQ(controller.receive(), "4000019380");  // slot 1 sd {sd-rx FALSE}
  EXPECT_EQ(journal("dsp"), (Lines{"enable 4101 mask=0x1 id=1", "enable 4101 mask=0x2 id=2"}));
  expect("c0010f00011238", {"c0010f000166"});  // seq 15 dtmf-disable: unsupported on an input

  // Destroy: the switch output, the summing point and every detector are released.
  expect("c0010b00010a", {"c0010b000140"});
  EXPECT_EQ(journal("mixer"), Lines{"remove 0.1 0.5"});
  EXPECT_EQ(journal("dtmf"), Lines{"disable 4101"});
  EXPECT_EQ(journal("dsp"), (Lines{"disable 4101 mask=0x1", "disable 4101 mask=0x100"}));
  EXPECT_EQ(control("mixer state").size(), 3u) << "no summing point is left";
  EXPECT_TRUE(balanced());
}

TEST_F(Mixers, OutputsSetTheirSummingPointAndPlayTones) {
  query();
  expect("c0010700020800010100010200", {"c00107000240"});  // slot 2 mixerOut {unit 1, tdm 2, no inputs}
  // slot 3 mixerOut {unit 1, tdm 4, inputs {tdm 6 gain 100, tdm 7 gain 200}}
  expect("c001080003080001010001040200010601640001070200c8", {"c00108000340"});
  EXPECT_EQ(journal("mixer"), (Lines{"clear 1.2", "add 1.2 1.2 gain=32767", "tdm 1.2", "clear 1.4",
                                     "add 1.4 1.6 gain=100", "add 1.4 1.7 gain=200", "tdm 1.4"}));

  expect("c001090002128c0203e80201f4", {"c00109000240"});  // slot 2 tone-gen-enable {1000 Hz, amp 500}
  EXPECT_EQ(journal("dtmf"), Lines{"tone 4226 1000 0 500 0"});
  // seq 10 translateDTMF {697/1209, 20 ms tone, 20 ms pause}: the end comes as dtmfDone.
  expect("c0010a00021224c0010202b90204b901140114", {"c0010a000240", "400002810100800100"});
  EXPECT_EQ(journal("dtmf"), (Lines{"tone 4226 697 1209 16384 16384", "tone 4226 1000 1000 0 0", "tone 4226 0 0 0 0"}));
  expect("c0010e00021290", {"c0010e000240"});  // tone-gen-disable
  EXPECT_EQ(journal("dtmf"), Lines{"tone 4226 0 0 0 0"});

  // The mixer runs out of inputs: the output is refused, the inputs it set stay.
  control("mixer unit 1 16 4");
  expect("c001080004080001010001050200010601640001070200c8", {"c00108000461"});  // slot 4 on tdm 5
  EXPECT_TRUE(daemon.errHas("mixer [1]: MIX_RX_ADD fail : No space left on device\n"));
  EXPECT_EQ(control("mixer state").back(), "point 1.5 <- 1.6*100");
}

TEST_F(Mixers, AVanishedUnitAbortsItsSlotsAndLivesUntilTheLastIsDestroyed) {
  query();
  expect("c00101000108080100000103", {"c00101000140"});  // slot 1 input on unit 0
  expect("c0010700020800010100010200", {"c00107000240"});  // slot 2 output on unit 1
  control("mixer remove 1");
  control("mixer remove 0");
  expect("80010200", {"80010240", "400001870100", "400002870100", noUnit});  // abort 0 for both, then no unit
  expect("c00101000508080100000103", {"c00101000561"});  // unit 0 is gone for new slots
  control("mixer unit 0 32 16");
  expect("80010200", {"80010240", unitZero});  // unit 0 is learnt anew; unit 1's slot still lives
  expect("c0010b00010a", {"c0010b000140"});
  expect("c0010b00020a", {"c0010b000240"});
  EXPECT_TRUE(daemon.errHas("mixer [1]: clear tdm output 2\n"));
  EXPECT_TRUE(balanced());
  controller.send("0600");
  EXPECT_EQ(controller.receive(), "10");
}

TEST_F(Mixers, ADeadToneDeviceIsDroppedOnceAndOpenedAgainByAConfigure) {
  query();
  expect("c00101000108080100000103", {"c00101000140"});
  control("dtmf hangup");
  EXPECT_TRUE(daemon.errHas("tonec device lost: end of file\n"));
  // The loop goes on serving without spinning on the descriptor.
  for (int i = 0; i < 5; ++i) expect("0600", {"10"});
  EXPECT_EQ(e2e::count(daemon.err(), "tonec device lost"), 1u);
  expect("c0010d000112280001000200030004", {"c0010d000140"});  // dtmf-params {1, 2, 3, 4}
  EXPECT_EQ(journal("dtmf"), Lines{"configure 4099 twist=1 ratio=2 silence=4 noise=3"});
}

}  // namespace
