#pragma once
// An echo-canceller channel on one of 16 buses. The scan finds no bus, so
// the factory never makes one; the kind is kept for boards that have them.

#include <array>

#include "asn1/modules/LGCP.h"
#include "server/slot/Slot.h"
#include "server/slot/SlotFactory.h"

class EchoSlot : public Slot {
public:
  explicit EchoSlot(int channel) : channel(channel) {}

  void IAfterCreate() override;
  bool IOnOutputStream() override { return true; }
  bool IOnInputStream() override { return true; }
  int IGetTransmitChannel() override { return channel; }
  int IGetReceiveChannel() override { return channel; }
  const char* GetName() const override { return "echo"; }

private:
  int channel;
};

class EchoFactory : public SlotFactory {
public:
  static constexpr unsigned Buses = 16;

  static EchoFactory& instance();

  const char* GetName() const override { return "Echo"; }
  Slot* INewSlot(const LGCP::CreateParams& params) override;
  // Lists the buses found.
  void Query(LGCP::Resources& resources) override;
  void Scan();

private:
  EchoFactory() { Scan(); }

  std::array<unsigned char, Buses> present;
};
