#pragma once
// A slot on one switch channel, which it both transmits on and receives
// from. Its streams are there from creation on unless the slot says otherwise.

#include "server/slot/Slot.h"

class OneChannelSlot : public Slot {
public:
  bool IOnOutputStream() override { return true; }
  bool IOnInputStream() override { return true; }
  int IGetTransmitChannel() override { return channel; }
  int IGetReceiveChannel() override { return channel; }

protected:
  explicit OneChannelSlot(int channel) : channel(channel) {}

  const int channel;
};
