#pragma once
// The base of every slot factory. Factories form one chain: each links
// itself at the head when constructed, so a create is offered to the newest
// factory first. Factories are never unlinked: they live to process exit.

#include <list>

class Slot;

namespace LGCP {
class CreateParams;
class Resources;
class Signal;
}  // namespace LGCP

class SlotFactory {
public:
  SlotFactory();
  SlotFactory(const SlotFactory&) = delete;
  SlotFactory& operator=(const SlotFactory&) = delete;
  virtual ~SlotFactory() = default;

  virtual const char* GetName() const = 0;
  // A new slot, or null when the parameters are not this factory's kind or it cannot make the slot.
  virtual Slot* INewSlot(const LGCP::CreateParams& params) = 0;
  // Sets this factory's fields of the resources report.
  virtual void Query(LGCP::Resources&) {}
  // Every trunkStatus signal a bound service sends.
  virtual void SelfSignal(const LGCP::Signal&) {}

  // INewSlot, then the slot belongs to this factory's list.
  Slot* NewSlot(const LGCP::CreateParams& params);
  void Remove(Slot* slot);

  // The live slots this factory made, oldest first.
  const std::list<Slot*>& GetSlots() const { return slots; }
  SlotFactory* Next() const { return next; }

private:
  std::list<Slot*> slots;
  SlotFactory* next;
};

// Head of the factory chain; null until the first factory exists.
extern SlotFactory* firstFactory;
