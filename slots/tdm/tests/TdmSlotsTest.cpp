// Trunk, bus map, extension, echo and MCC slots in this process, created and
// driven through the controller server: who takes over a timeslot or a bus
// channel, what each kind refuses, the extension's receiver following its
// activation, and the MCC device's failures.

#include "slots/tdm/tests/SlotKinds.h"

using Testing::cmd;
using Testing::count;
using Testing::err;
using Testing::NoSeq;
using Testing::ok;
using Testing::sig;
using tdm::control;
using tdm::Lines;

namespace {

std::string create(long slot, const std::string& what) { return cmd(NoSeq, slot, "create : " + what); }
std::string active(long slot, const std::string& direction, int channel) {
  return sig(slot, direction + " : active : " + std::to_string(channel));
}
// A slot created on a switch channel that transmits and receives at once.
Lines both(long slot, int channel) {
  return {ok(NoSeq, slot), active(slot, "transmitter", channel), active(slot, "receiver", channel)};
}
std::string refused(long slot) { return err(NoSeq, slot, "insufficientResources"); }

class TdmSlots : public tdm::SlotKindTest {};

TEST_F(TdmSlots, ATimeslotIsTakenOverByANewSlotNumberAndBadTrunksAreRefused) {
  expect(create(10, "trunk : { trunk 1, timeslot 7 }"), both(10, 39));
  expect(create(11, "trunk : { trunk 1, timeslot 7 }"), both(11, 39));
  EXPECT_TRUE(settle().empty()) << "nothing about slot 10";
  EXPECT_EQ(count(logs.str(), "trunk-slot: two slots require the same timeslot, remove old.\n old slot 10:trunk\n"), 1u);
  expect(cmd(NoSeq, 10, "disconnect : NULL"), {err(NoSeq, 10, "slotNotExists")});

  expect(create(12, "trunk_bri : { trunk 3, timeslot 2 }"), both(12, 14));
  const char* bad[] = {"trunk_bri : { trunk 3, timeslot 4 }", "trunk : { trunk 4, timeslot 0 }",
                       "trunk : { trunk 146, timeslot 2 }"};
  for (const char* what : bad) expect(create(13, what), {refused(13)});
}

TEST_F(TdmSlots, BusMapSlotsClaimTheirChannels) {
  // The same bus channel as transmitter and receiver of one slot is refused.
  expect(create(5, "map : { transmitter { bus 0, channel 1 }, receiver { bus 0, channel 1 } }"), {refused(5)});
  // A later map slot on a bus channel in use (here as transmitter) destroys the older one.
  expect(create(6, "map : { transmitter { bus 1, channel 0 } }"), {ok(NoSeq, 6), active(6, "transmitter", 8320)});
  expect(create(7, "map : { receiver { bus 1, channel 0 } }"), {ok(NoSeq, 7), active(7, "receiver", 8320)});
  expect(cmd(NoSeq, 6, "connect : 7"), {err(NoSeq, 6, "slotNotExists")});
  EXPECT_EQ(count(logs.str(),
                  "map-slot: two slots require the same ipc-slot, remove old.\nnew slot na:map <-> old slot 06:map\n"),
            1u);
}

TEST_F(TdmSlots, AnExtensionReceivesOnlyWhileActivatedAndAnEchoSlotNeedsABus) {
  expect(create(1, "trunk : { trunk 0, timeslot 31 }"), both(1, 31));
  expect(create(20, "ext : { transmitter 3, receiver 4 }"), {ok(NoSeq, 20), active(20, "transmitter", 8195)});
  expect(cmd(NoSeq, 1, "connect : 20"), {err(NoSeq, 1, "connectFail")});
  expect(cmd(NoSeq, 20, "activate : empty : NULL"), {active(20, "receiver", 8196), ok(NoSeq, 20)});
  EXPECT_EQ(control("hal switch map"), (Lines{"8196 = 0xD5"}));
  expect(cmd(NoSeq, 1, "connect : 20"), {ok(NoSeq, 1)});
  EXPECT_EQ(control("hal switch map"), (Lines{"8196 <- 31"}));
  expect(cmd(NoSeq, 20, "deactivate : NULL"), {sig(20, "receiver : inactive : NULL"), ok(NoSeq, 20)});
  EXPECT_EQ(control("hal switch map"), Lines{});
  // Transmitter 2048 lies past the buses; the echo slot finds no bus.
  expect(create(21, "ext : { transmitter 2048, receiver 0 }"), {refused(21)});
  expect(create(22, "echo : { bus 0, channel 0 }"), {refused(22)});
}

TEST_F(TdmSlots, AnMccSlotIsRefusedWhenItsDeviceIsMissingOrFull) {
  const std::string mcc = "mcc : { type data, mode standard }";
  control("absent mcc");
  expect(create(31, mcc), {refused(31)});
  EXPECT_EQ(count(logs.str(), "mcc: fail to open MCC device: No such file or directory\n"), 1u);
  control("present mcc");
  control("fail mcc ioctl 0x40144D00 ENOSPC");
  expect(create(31, mcc), {refused(31)});
  EXPECT_EQ(count(logs.str(), "mcc: MCC_ALLOCATE fail: No space left on device\n"), 1u);
  control("heal mcc");
  expect(create(31, mcc), {ok(NoSeq, 31)});
  EXPECT_EQ(control("mcc channels"), Lines{"256 type=0"});
}

}  // namespace
