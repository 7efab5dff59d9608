#include "slots/tdm/TrunkSlot.h"

#include <iostream>

#include "server/slot/Slots.h"

TrunkFactory trunk0(0, 0), trunk1(1, 32), trunk2(2, 64), trunk3(3, 96);
TrunkBRIFactory trunk_bri0(0, 0), trunk_bri1(1, 4), trunk_bri2(2, 8), trunk_bri3(3, 12), trunk_bri4(4, 16),
    trunk_bri5(5, 20), trunk_bri6(6, 24), trunk_bri7(7, 28);

void TrunkSlot::IAfterCreate() {
  OnChangeOutputStream(true);
  OnChangeInputStream(true);
}

bool TrunkSlot::IBeforeDestroy() {
  if (auto* owner = dynamic_cast<TrunkFactory*>(GetSlotFactory())) owner->ReleaseTrunkSlot(this);
  return true;
}

TrunkFactory::TrunkFactory(unsigned trunk, unsigned base) : trunk(trunk), base(base) { timeslots.fill(nullptr); }

Slot* TrunkFactory::INewSlot(const LGCP::CreateParams& params) {
  if (params.currentSelection() != LGCP::CreateParams::e_trunk) return nullptr;
  return Take(params.get_trunk(), Timeslots, [](int channel) { return new TrunkSlot(channel); });
}

Slot* TrunkFactory::Take(const LGCP::TrunkParams& params, unsigned count, TrunkSlot* (*make)(int channel)) {
  const unsigned timeslot = unsigned(params.get_timeslot().getValue());
  if (unsigned(params.get_trunk().getValue()) != trunk || timeslot >= count) return nullptr;
  if (TrunkSlot* old = timeslots[timeslot]) {
    std::cerr << "trunk-slot: two slots require the same timeslot, remove old." << std::endl
              << " old slot " << *old << std::endl;
    Slots::instance().Destroy(old);
  }
  TrunkSlot* slot = make(int(base + timeslot));
  timeslots[timeslot] = slot;
  return slot;
}

void TrunkFactory::ReleaseTrunkSlot(TrunkSlot* slot) {
  const unsigned timeslot = unsigned(slot->GetTimeSlot());
  if (timeslot < Timeslots && timeslots[timeslot] == slot) timeslots[timeslot] = nullptr;
}

Slot* TrunkBRIFactory::INewSlot(const LGCP::CreateParams& params) {
  if (params.currentSelection() != LGCP::CreateParams::e_trunk_bri) return nullptr;
  return Take(params.get_trunk_bri(), Channels, [](int channel) -> TrunkSlot* { return new TrunkBRISlot(channel); });
}
