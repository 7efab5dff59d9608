#pragma once
// An echo-canceller channel on one of 16 buses. The scan finds no bus, so
// the factory never makes one; the kind is kept for boards that have them.

#include <array>

#include "asn1/modules/LGCP.h"
#include "server/slot/OneChannelSlot.h"
#include "server/slot/SlotFactory.h"

class EchoSlot : public OneChannelSlot {
public:
  explicit EchoSlot(int channel) : OneChannelSlot(channel) {}

  void IAfterCreate() override;
  const char* GetName() const override { return "echo"; }
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
