#include "server/slot/SlotFactory.h"

#include <algorithm>

#include "server/slot/Slot.h"

// Constant-initialised, so factories built before main find it ready.
SlotFactory* firstFactory = nullptr;

SlotFactory::SlotFactory() : next(firstFactory) { firstFactory = this; }

Slot* SlotFactory::NewSlot(const LGCP::CreateParams& params) {
  Slot* slot = INewSlot(params);
  if (!slot) return nullptr;
  slot->factory = this;
  slots.push_back(slot);
  return slot;
}

void SlotFactory::Remove(Slot* slot) { slots.remove(slot); }
