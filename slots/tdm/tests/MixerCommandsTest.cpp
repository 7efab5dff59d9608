// Mixer slots created through the controller server in this process: units
// learnt at a query and cleared once, and the inputs a unit refuses.

#include "slots/tdm/tests/SlotKinds.h"

using Testing::cmd;
using Testing::count;
using Testing::err;
using Testing::NoSeq;
using Testing::NoSlot;
using Testing::ok;
using tdm::control;
using tdm::journal;
using tdm::Lines;

namespace {

// Units 0 (32 channels, 16 inputs) and 1 (16 and 8): each reported with the smallest counts.
const std::string twoUnits = Testing::resources(Testing::mixerUnit(0, 16, 8) + ", " + Testing::mixerUnit(1, 16, 8));

std::string mixerIn(long slot, const std::string& channel) {
  return cmd(1, slot, "create : mixerIn : { unit " + channel + " }");
}

class MixerCommands : public tdm::SlotKindTest {
protected:
  void SetUp() override {
    SlotKindTest::SetUp();
    // No unit known to the factory, a board with two.
    Mixer::MixerFactory::instance().RefreshResources();
    Board::Sim::reset();
    control("mixer unit 0 32 16");
    control("mixer unit 1 16 8");
  }
};

TEST_F(MixerCommands, SlotsAreRefusedUntilAQueryHasLearntTheUnitsWhichAreResetOnce) {
  expect(mixerIn(1, "0, channel tdm : 3"), {err(1, 1, "insufficientResources")});
  EXPECT_EQ(journal("mixer"), Lines{});
  expect(cmd(2, NoSlot, "query : NULL"), {ok(2, NoSlot), twoUnits});
  // Each new unit is cleared over the smallest channel count known when it came.
  Lines learnt = journal("mixer");
  ASSERT_EQ(learnt.size(), 3u + 32 + 16);
  EXPECT_EQ(Lines(learnt.begin(), learnt.begin() + 3), (Lines{"query -1", "clear 0.0", "clear 0.1"}));
  EXPECT_EQ(Lines(learnt.begin() + 32, learnt.begin() + 35), (Lines{"clear 0.31", "query 0", "clear 1.0"}));
  EXPECT_EQ(learnt.back(), "query 1");
  EXPECT_EQ(count(logs.str(), "mixer [0]: clear all inputs\nmixer [1]: clear all inputs\n"), 1u);

  // A known unit is not reset again; a channel outside the smallest unit's count, or not TDM, is refused.
  expect(cmd(2, NoSlot, "query : NULL"), {ok(2, NoSlot), twoUnits});
  EXPECT_EQ(journal("mixer"), (Lines{"query -1", "query 0", "query 1"}));
  expect(mixerIn(1, "0, channel tdm : 3"), {ok(1, 1)});
  for (const char* channel : {"0, channel tdm : 16", "0, channel tdm : -1", "0, channel rtp : 3", "2, channel tdm : 3"})
    expect(mixerIn(2, channel), {err(1, 2, "insufficientResources")});
  EXPECT_EQ(journal("mixer"), Lines{"tdm 0.3"});
  EXPECT_EQ(control("voice state"), Lines{"version 1 0 0 0 0 queries=2"});

  // A channel the driver cannot locate refuses the slot with its line.
  control("fail mixer ioctl 0x800C4D06 EIO");
  expect(mixerIn(3, "0, channel tdm : 4"), {err(1, 3, "insufficientResources")});
  EXPECT_EQ(count(logs.str(), "mixer [0]: MIX_TDM dev_no=0 type=0 number=4 fail : Input/output error\n"), 1u);
}

}  // namespace
