// Slots of the real daemon driven as a controller would, one round trip per
// kind: trunk, bus map, extension, echo and MCC slots on the simulated
// switch, whose map is read back through the board's control socket. What
// each kind refuses or takes over is its own in-process test (slots/tdm);
// the connect logic and controller loss are the slot table's.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/tests/Harness.h"

using namespace e2e;

namespace {

std::string create(long seq, long slot, const std::string& what) { return cmd(seq, slot, "create : " + what); }
std::string active(long slot, const std::string& direction, int channel) {
  return sig(slot, direction + " : active : " + std::to_string(channel));
}
// A slot created on a switch channel that transmits and receives at once.
Lines both(long seq, long slot, int channel) {
  return {ok(seq, slot), active(slot, "transmitter", channel), active(slot, "receiver", channel)};
}

class Slots : public Served {
protected:
  Lines switchMap() { return control("hal switch map"); }
};

TEST_F(Slots, TwoTrunkTimeslotsConnectOnTheSwitchAndAreDestroyed) {
  // Every bus output is off after start-up.
  EXPECT_EQ(switchMap(), Lines{});
  expect(create(1, 1, "trunk : { trunk 2, timeslot 5 }"), both(1, 1, 69));
  expect(create(2, 2, "trunk : { trunk 0, timeslot 3 }"), both(2, 2, 3));
  expect(cmd(3, 1, "connect : 2"), {ok(3, 1)});  // 1 feeds 2
  EXPECT_EQ(switchMap(), Lines{"3 <- 69"});
  expect(cmd(4, 2, "connect : 1"), {ok(4, 2)});
  EXPECT_EQ(switchMap(), (Lines{"3 <- 69", "69 <- 3"}));

  expect(cmd(5, 2, "disconnect : NULL"), {ok(5, 2)});  // its output goes idle
  EXPECT_EQ(switchMap(), (Lines{"3 = 0xD5", "69 <- 3"}));
  expect(cmd(6, 1, "destroy : NULL"), {ok(6, 1)});  // exactly one reply, no stream signal
  EXPECT_TRUE(controller.quiet(50));
  EXPECT_EQ(switchMap(), (Lines{"3 = 0xD5", "69 = 0xD5"}));
  expect(cmd(7, 1, "disconnect : NULL"), {err(7, 1, "slotNotExists")});
  EXPECT_TRUE(daemon.errHas("mux: slot 01:trunk [69] -> 02:trunk [3]\n"));
  EXPECT_TRUE(daemon.errHas("mux: disconnect slot 02:trunk [3]\n"));
}

TEST_F(Slots, EachKindIsCreatedOnTheBoardAndCarriesItsData) {
  expect(create(NoSeq, 12, "trunk_bri : { trunk 3, timeslot 2 }"), both(NoSeq, 12, 14));
  // A map with only a receiver {bus 2, channel 106}: 8192 + 256 + 106.
  expect(create(93923, 1023, "map : { receiver { bus 2, channel 106 } }"),
         {ok(93923, 1023), active(1023, "receiver", 8554)});
  EXPECT_TRUE(controller.quiet(50));
  // Extension {transmitter 3, receiver 4}: its receiver comes with the activation.
  expect(create(NoSeq, 20, "ext : { transmitter 3, receiver 4 }"), {ok(NoSeq, 20), active(20, "transmitter", 8195)});
  expect(cmd(NoSeq, 20, "activate : empty : NULL"), {active(20, "receiver", 8196), ok(NoSeq, 20)});
  EXPECT_EQ(switchMap(), (Lines{"8196 = 0xD5"}));
  // The simulated board has no echo bus.
  expect(create(NoSeq, 22, "echo : { bus 0, channel 0 }"), {err(NoSeq, 22, "insufficientResources")});

  // MCC: a data channel; user data both ways.
  expect(create(NoSeq, 30, "mcc : { type data, mode standard }"), {ok(NoSeq, 30)});
  EXPECT_EQ(control("mcc channels"), Lines{"256 type=0"});
  expect(cmd(NoSeq, 30, "userData : 'cafe'H"), {ok(NoSeq, 30)});
  EXPECT_EQ(control("mcc written"), Lines{"256 CAFE"});
  control("mcc receive 256 BEEF");
  controller.expectNext({sig(30, "userData : 'beef'H")}, "mcc receive");
  expect(cmd(NoSeq, 30, "destroy : NULL"), {ok(NoSeq, 30)});  // the channel goes with its slot
  EXPECT_TRUE(waitFor([&] { return control("mcc channels").empty(); }));
}

}  // namespace
