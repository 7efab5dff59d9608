#pragma once
// The control service that owns every slot: the table of slot numbers, the
// creation through the factory chain, destruction (at once, or later with a
// delayed reply), connections, the per-kind requests, the resources report,
// and the clean-up when the controller goes away.

#include <array>
#include <list>

#include "server/CtrlService.h"

class Slot;

class Slots : public CtrlSrv::Service {
public:
  static constexpr unsigned MaxSlot = 1023;

  static Slots& instance();

  void OnConnect() override {}
  // Destroys every slot; those that defer are deleted after a one-second pause.
  void OnDisconnect() override;
  bool OnCommand(const LGCP::Command& cmd) override;
  // Hands trunkStatus signals to every factory.
  void OnSignal(const LGCP::Signal& sig) override;

  static bool CheckSlot(unsigned n) { return n <= MaxSlot; }
  bool OnBaseCommand(const LGCP::Command& cmd);
  bool OnSlotCommand(const LGCP::Command& cmd);
  void CmdQuery();
  // Asks every factory for its resources and signals them to the controller.
  void UpdateHardwareResources();

  // True when the slot is gone, false when its destruction is deferred.
  bool Destroy(Slot* slot);
  // A deferred destruction has finished.
  void on_release(Slot* slot);
  void int_destroy(Slot* slot);

  // The slot with that number, null when free.
  Slot* Find(unsigned n) const { return CheckSlot(n) ? table[n] : nullptr; }
  // Live slots, in creation order.
  const std::list<Slot*>& Live() const { return live; }

private:
  Slots();
  void CmdCreate(unsigned n, const LGCP::CreateParams& params);
  void CmdDestroy(Slot* slot);
  void CmdConnect(Slot* own, unsigned target);

  std::array<Slot*, MaxSlot + 1> table;
  std::list<Slot*> live;
};
