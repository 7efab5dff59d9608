#pragma once
// A transmit and/or receive channel on one of the shared buses of the TDM
// switch. One table of the 2048 bus channels serves transmitters and
// receivers alike: a new map slot that names a bus channel in use takes it
// from the older slot, which is destroyed.

#include <array>

#include "asn1/modules/LGCP.h"
#include "server/slot/Slot.h"
#include "server/slot/SlotFactory.h"

class MapSlot : public Slot {
public:
  // Absolute switch channels, -1 when absent.
  MapSlot(int tx, int rx) : tx(tx), rx(rx) {}

  void IAfterCreate() override;
  bool IBeforeDestroy() override;
  bool IOnOutputStream() override { return tx >= 0; }
  bool IOnInputStream() override { return rx >= 0; }
  int IGetTransmitChannel() override { return tx; }
  int IGetReceiveChannel() override { return rx; }
  const char* GetName() const override { return "map"; }

  int Tx() const { return tx; }
  int Rx() const { return rx; }

private:
  int tx;
  int rx;
};

class MapFactory : public SlotFactory {
public:
  static constexpr int FirstChannel = 8192;
  static constexpr unsigned Buses = 16;
  static constexpr unsigned BusChannels = 128;
  static constexpr unsigned Channels = Buses * BusChannels;

  static MapFactory& instance();

  const char* GetName() const override { return "Map"; }
  // Takes every map request whose channels lie on the buses; the two
  // channels of one request must differ.
  Slot* INewSlot(const LGCP::CreateParams& params) override;
  void ReleaseMapSlot(MapSlot* slot);

  // The switch channel of a bus channel.
  static int GetMapTimeSlot(const LGCP::SharedChannel& channel);
  // The slot holding a logical channel (absolute - 8192), null when free.
  MapSlot* At(unsigned logical) const { return logical < Channels ? mapChannels[logical] : nullptr; }

private:
  MapFactory() { mapChannels.fill(nullptr); }
  void AllocateMapSlot(MapSlot* slot);
  void Claim(int channel, MapSlot* slot);

  std::array<MapSlot*, Channels> mapChannels;
};
