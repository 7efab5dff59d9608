// Mixer slots created through the controller server in this process: units
// learnt at a query and cleared once, and the inputs a unit refuses
// (golden/mixer-query.txt).

#include "slots/tdm/tests/SlotKinds.h"

namespace {

class MixerCommands : public tdm::SlotKindTest {
protected:
  void SetUp() override {
    SlotKindTest::SetUp();
    // No unit known to the factory, a board with two: 0 of 32 channels and
    // 16 inputs, 1 of 16 and 8.
    Mixer::MixerFactory::instance().RefreshResources();
    Board::Sim::reset();
    tdm::control("mixer unit 0 32 16");
    tdm::control("mixer unit 1 16 8");
  }
};

TEST_F(MixerCommands, SlotsAreRefusedUntilAQueryHasLearntTheUnitsWhichAreResetOnce) {
  EXPECT_TRUE(script("mixer-query"));
}

}  // namespace
