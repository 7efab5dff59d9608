#pragma once
// The daemon's slot kinds in this process, behind the controller server on
// the simulated board: the factories made in the daemon's order, the slot
// table bound once after the probes, and a controller speaking value notation
// (testing/ServiceFixture.h).

#include "hardware/HwMux.h"
#include "server/slot/Slots.h"
#include "slots/tdm/EchoSlot.h"
#include "slots/tdm/ExtSlot.h"
#include "slots/tdm/MapSlot.h"
#include "slots/tdm/MccSlot.h"
#include "slots/tdm/MixerFactory.h"
#include "testing/ServiceFixture.h"

namespace tdm {

using Lines = std::vector<std::string>;
using Testing::control;
using Testing::journal;

// The factories in the daemon's order (the chain is newest first) and the slot table, once.
inline void setUpSlotKinds() {
  static bool done = false;
  if (done) return;
  done = true;
  Testing::bindProbesOnce();
  MapFactory::instance();
  Mixer::MixerFactory::instance();
  ExtFactory::instance();
  MccFactory::instance();
  EchoFactory::instance();
  UseSwitch(HwMux::instance());
  CtrlSrv::ctrlServer.Bind(&Slots::instance());
}

class SlotKindTest : public Testing::ServiceTest {
protected:
  void bind() override { setUpSlotKinds(); }
  void TearDown() override {
    c.reset();
    Testing::runUntil([] { return Slots::instance().Live().empty(); });
    ServiceTest::TearDown();
  }
  ::testing::AssertionResult script(const std::string& name) {
    return ServiceTest::script("slots/tdm/tests/golden/" + name + ".txt");
  }
};

}  // namespace tdm
