#pragma once
// The daemon's slot kinds in this process, behind the controller server on
// the simulated board: the factories made in the daemon's order, the slot
// table bound once after the probes, and a controller speaking value notation.

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "board/sim/Sim.h"
#include "hardware/HwMux.h"
#include "server/slot/Slots.h"
#include "slots/tdm/EchoSlot.h"
#include "slots/tdm/ExtSlot.h"
#include "slots/tdm/MapSlot.h"
#include "slots/tdm/MccSlot.h"
#include "slots/tdm/MixerFactory.h"
#include "testing/Capture.h"
#include "testing/CtrlServerFixture.h"
#include "testing/Lgcp.h"

namespace tdm {

using Lines = std::vector<std::string>;

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
  HwMux::instance();
  CtrlSrv::ctrlServer.Bind(&Slots::instance());
}

// A control line's reply without its closing "OK" (which it must have).
inline Lines control(const std::string& line) {
  Lines lines = Board::Sim::control(line);
  EXPECT_FALSE(lines.empty()) << line;
  if (lines.empty()) return lines;
  EXPECT_EQ(lines.back(), "OK") << line;
  lines.pop_back();
  return lines;
}

// A device's journal without the times; the journal is emptied.
inline Lines journal(const std::string& device) {
  Lines texts;
  for (const std::string& line : control(device + " journal")) texts.push_back(line.substr(line.find(' ') + 1));
  control(device + " clear");
  return texts;
}

class SlotKindTest : public Testing::CtrlServerTest {
protected:
  void SetUp() override {
    Board::Sim::reset();
    setUpSlotKinds();
    CtrlServerTest::SetUp();
    controller = connect();
  }
  void TearDown() override {
    controller.reset();
    Testing::runUntil([] { return Slots::instance().Live().empty(); });
    CtrlServerTest::TearDown();
  }

  // Sends a message and expects exactly these messages back, in order.
  void expect(const std::string& message, const Lines& replies) {
    Lines expected;
    for (const std::string& r : replies) expected.push_back(Testing::lgcp(r));
    EXPECT_TRUE(Testing::sameFrames(expected, exchange(*controller, Testing::lgcp(message), replies.size())))
        << "after " << message;
  }
  // What arrives within a few loop passes.
  Lines settle() {
    controller->frames.clear();
    Testing::runFor(30);
    controller->pump();
    return controller->frames;
  }

  Testing::Capture logs{&std::cerr, &std::clog};
  std::unique_ptr<Testing::Controller> controller;
};

}  // namespace tdm
