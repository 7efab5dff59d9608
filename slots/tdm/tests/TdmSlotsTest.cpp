// Trunk, bus map, extension, echo and MCC slots in this process, created and
// driven through the controller server: who takes over a timeslot or a bus
// channel, what each kind refuses, the extension's receiver following its
// activation, and the MCC device's failures. Each test is a golden script of
// messages and board lines with the frames and log lines they caused.

#include "slots/tdm/tests/SlotKinds.h"

namespace {

class TdmSlots : public tdm::SlotKindTest {};

TEST_F(TdmSlots, ATimeslotIsTakenOverByANewSlotNumberAndBadTrunksAreRefused) { EXPECT_TRUE(script("trunk")); }

TEST_F(TdmSlots, BusMapSlotsClaimTheirChannels) { EXPECT_TRUE(script("map")); }

TEST_F(TdmSlots, AnExtensionReceivesOnlyWhileActivatedAndAnEchoSlotNeedsABus) { EXPECT_TRUE(script("ext-echo")); }

TEST_F(TdmSlots, AnMccSlotIsRefusedWhenItsDeviceIsMissingOrFull) { EXPECT_TRUE(script("mcc")); }

}  // namespace
