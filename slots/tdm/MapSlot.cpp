#include "slots/tdm/MapSlot.h"

#include <iostream>

#include "hardware/HwMux.h"
#include "server/slot/Slots.h"

void MapSlot::IAfterCreate() {
  if (rx >= 0) OnChangeInputStream(true);
  if (tx >= 0) OnChangeOutputStream(true);
}

bool MapSlot::IBeforeDestroy() {
  if (auto* owner = dynamic_cast<MapFactory*>(GetSlotFactory())) owner->ReleaseMapSlot(this);
  return true;
}

MapFactory& MapFactory::instance() {
  static MapFactory factory;
  return factory;
}

int MapFactory::GetMapTimeSlot(const LGCP::SharedChannel& channel) {
  return FirstChannel + int(BusChannels) * channel.get_bus().getValue() + channel.get_channel().getValue();
}

namespace {

bool OnTheBuses(const LGCP::SharedChannel& channel) {
  const unsigned bus = unsigned(channel.get_bus().getValue());
  const unsigned timeslot = unsigned(channel.get_channel().getValue());
  return bus < MapFactory::Buses && timeslot < MapFactory::BusChannels;
}

}  // namespace

Slot* MapFactory::INewSlot(const LGCP::CreateParams& params) {
  if (params.currentSelection() != LGCP::CreateParams::e_map) return nullptr;
  const LGCP::MapParams& map = params.get_map();
  const bool hasTx = map.hasOptionalField(LGCP::MapParams::o_transmitter);
  const bool hasRx = map.hasOptionalField(LGCP::MapParams::o_receiver);
  if ((hasTx && !OnTheBuses(map.get_transmitter())) || (hasRx && !OnTheBuses(map.get_receiver()))) return nullptr;
  const int tx = hasTx ? GetMapTimeSlot(map.get_transmitter()) : -1;
  const int rx = hasRx ? GetMapTimeSlot(map.get_receiver()) : -1;
  // One table serves both directions: the slot would collide with itself.
  if (tx >= 0 && tx == rx) return nullptr;
  auto* slot = new MapSlot(tx, rx);
  AllocateMapSlot(slot);
  return slot;
}

void MapFactory::AllocateMapSlot(MapSlot* slot) {
  if (slot->Rx() >= 0) Claim(slot->Rx(), slot);
  if (slot->Tx() >= 0) Claim(slot->Tx(), slot);
}

void MapFactory::Claim(int channel, MapSlot* slot) {
  MapSlot*& entry = mapChannels[unsigned(channel - FirstChannel)];
  if (entry && entry != slot) {
    std::cerr << "map-slot: two slots require the same ipc-slot, remove old." << std::endl
              << "new slot " << *slot << " <-> old slot " << *entry << std::endl;
    Slots::instance().Destroy(entry);
  }
  entry = slot;
}

void MapFactory::ReleaseMapSlot(MapSlot* slot) {
  if (slot->Rx() >= 0) {
    const unsigned logical = unsigned(slot->Rx() - FirstChannel);
    std::clog << "map: disable map channel " << logical << std::endl;
    HwMux::instance().Disable(slot->Rx());
    if (mapChannels[logical] != slot)
      std::cerr << "map-slot: internal error! MapFactory::ReleaseMapSlot() code 1" << std::endl;
    mapChannels[logical] = nullptr;
  }
  if (slot->Tx() >= 0) {
    const unsigned logical = unsigned(slot->Tx() - FirstChannel);
    if (mapChannels[logical] != slot)
      std::cerr << "map-slot: internal error! MapFactory::ReleaseMapSlot() code 2" << std::endl;
    mapChannels[logical] = nullptr;
  }
}
