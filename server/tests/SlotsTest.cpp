// Slots of the real daemon driven as a controller would: trunk, bus map,
// extension, MCC and echo slots, connected through the simulated switch,
// whose map is read back through the board's control socket. The connect
// logic and controller loss are the slot table's tests.

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

TEST_F(Slots, ATimeslotIsTakenOverByANewSlotNumberAndBadTrunksAreRefused) {
  expect(create(NoSeq, 10, "trunk : { trunk 1, timeslot 7 }"), both(NoSeq, 10, 39));
  expect(create(NoSeq, 11, "trunk : { trunk 1, timeslot 7 }"), both(NoSeq, 11, 39));
  EXPECT_TRUE(controller.quiet(50));  // nothing about slot 10
  EXPECT_TRUE(daemon.errHas("trunk-slot: two slots require the same timeslot, remove old.\n old slot 10:trunk\n"));
  expect(cmd(NoSeq, 10, "disconnect : NULL"), {err(NoSeq, 10, "slotNotExists")});

  expect(create(NoSeq, 12, "trunk_bri : { trunk 3, timeslot 2 }"), both(NoSeq, 12, 14));
  const char* refused[] = {"trunk_bri : { trunk 3, timeslot 4 }", "trunk : { trunk 4, timeslot 0 }",
                           "trunk : { trunk 146, timeslot 2 }"};
  for (const char* what : refused) expect(create(NoSeq, 13, what), {err(NoSeq, 13, "insufficientResources")});
}

TEST_F(Slots, BusMapExtensionEchoAndMccSlots) {
  // A map with only a receiver {bus 2, channel 106}: 8192 + 256 + 106.
  expect(create(93923, 1023, "map : { receiver { bus 2, channel 106 } }"),
         {ok(93923, 1023), active(1023, "receiver", 8554)});
  EXPECT_TRUE(controller.quiet(50));
  // The same bus channel as transmitter and receiver of one slot is refused.
  expect(create(NoSeq, 5, "map : { transmitter { bus 0, channel 1 }, receiver { bus 0, channel 1 } }"),
         {err(NoSeq, 5, "insufficientResources")});
  // A later map slot on a bus channel in use (here as transmitter) destroys the older one.
  expect(create(NoSeq, 6, "map : { transmitter { bus 1, channel 0 } }"),
         {ok(NoSeq, 6), active(6, "transmitter", 8320)});
  expect(create(NoSeq, 7, "map : { receiver { bus 1, channel 0 } }"), {ok(NoSeq, 7), active(7, "receiver", 8320)});
  expect(cmd(NoSeq, 6, "connect : 7"), {err(NoSeq, 6, "slotNotExists")});
  EXPECT_TRUE(daemon.errHas(
      "map-slot: two slots require the same ipc-slot, remove old.\nnew slot na:map <-> old slot 06:map\n"));

  // Extension {transmitter 3, receiver 4}: transmits at once, receives only while activated.
  expect(create(NoSeq, 1, "trunk : { trunk 0, timeslot 31 }"), both(NoSeq, 1, 31));
  expect(create(NoSeq, 20, "ext : { transmitter 3, receiver 4 }"), {ok(NoSeq, 20), active(20, "transmitter", 8195)});
  expect(cmd(NoSeq, 1, "connect : 20"), {err(NoSeq, 1, "connectFail")});
  expect(cmd(NoSeq, 20, "activate : empty : NULL"), {active(20, "receiver", 8196), ok(NoSeq, 20)});
  EXPECT_EQ(switchMap(), (Lines{"8196 = 0xD5"}));
  expect(cmd(NoSeq, 1, "connect : 20"), {ok(NoSeq, 1)});
  EXPECT_EQ(switchMap(), (Lines{"8196 <- 31"}));
  expect(cmd(NoSeq, 20, "deactivate : NULL"), {sig(20, "receiver : inactive : NULL"), ok(NoSeq, 20)});
  EXPECT_EQ(switchMap(), Lines{});
  // Transmitter 2048 lies past the buses; the echo slot finds no bus.
  expect(create(NoSeq, 21, "ext : { transmitter 2048, receiver 0 }"), {err(NoSeq, 21, "insufficientResources")});
  expect(create(NoSeq, 22, "echo : { bus 0, channel 0 }"), {err(NoSeq, 22, "insufficientResources")});

  // MCC: a data channel; user data both ways.
  const std::string mcc = "mcc : { type data, mode standard }";
  expect(create(NoSeq, 30, mcc), {ok(NoSeq, 30)});
  EXPECT_EQ(control("mcc channels"), Lines{"256 type=0"});
  expect(cmd(NoSeq, 30, "userData : 'cafe'H"), {ok(NoSeq, 30)});
  EXPECT_EQ(control("mcc written"), Lines{"256 CAFE"});
  control("mcc receive 256 BEEF");
  controller.expectNext({sig(30, "userData : 'beef'H")}, "mcc receive");
  expect(cmd(NoSeq, 30, "destroy : NULL"), {ok(NoSeq, 30)});  // the channel goes with its slot
  EXPECT_TRUE(waitFor([&] { return control("mcc channels").empty(); }));
  control("absent mcc");
  expect(create(NoSeq, 31, mcc), {err(NoSeq, 31, "insufficientResources")});
  EXPECT_TRUE(daemon.errHas("mcc: fail to open MCC device: No such file or directory\n"));
  control("present mcc");
  control("fail mcc ioctl 0x40144D00 ENOSPC");
  expect(create(NoSeq, 31, mcc), {err(NoSeq, 31, "insufficientResources")});
  EXPECT_TRUE(daemon.errHas("mcc: MCC_ALLOCATE fail: No space left on device\n"));
}

}  // namespace
