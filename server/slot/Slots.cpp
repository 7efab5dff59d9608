#include "server/slot/Slots.h"

#include <unistd.h>
#include <iostream>

#include "server/slot/Slot.h"
#include "server/slot/SlotFactory.h"

Slots& Slots::instance() {
  static Slots slots;
  return slots;
}

Slots::Slots() { table.fill(nullptr); }

bool Slots::OnCommand(const LGCP::Command& cmd) { return IsSlotPresent() ? OnSlotCommand(cmd) : OnBaseCommand(cmd); }

bool Slots::OnBaseCommand(const LGCP::Command& cmd) {
  if (cmd.currentSelection() != LGCP::Command::e_query) return false;
  CmdQuery();
  return true;
}

bool Slots::OnSlotCommand(const LGCP::Command& cmd) {
  const int alternative = cmd.currentSelection();
  if (alternative < LGCP::Command::e_connect || alternative > LGCP::Command::e_ioctl) return false;
  const unsigned n = GetSlot();
  if (alternative == LGCP::Command::e_create) {
    CmdCreate(n, cmd.get_create());
    return true;
  }
  if (alternative == LGCP::Command::e_connect) {
    CmdConnect(Find(n), unsigned(cmd.get_connect().getValue()));
    return true;
  }
  Slot* slot = Find(n);
  if (!slot) {
    Error(LGCP::ErrorCause::slotNotExists);
    return true;
  }
  bool ok = false;
  LGCP::ErrorCause::NamedNumber failure = LGCP::ErrorCause::unsupported;
  switch (alternative) {
    case LGCP::Command::e_disconnect:
      ok = Disconnect(*slot);
      failure = LGCP::ErrorCause::disconnectFail;
      break;
    case LGCP::Command::e_destroy: CmdDestroy(slot); return true;
    case LGCP::Command::e_activate: ok = slot->IActivate(cmd.get_activate()); break;
    case LGCP::Command::e_deactivate: ok = slot->IDeactivate(); break;
    case LGCP::Command::e_userData: ok = slot->IUserData(cmd.get_userData().toVector()); break;
    default: ok = slot->Ioctl(cmd.get_ioctl()); break;
  }
  if (ok) {
    Success();
  } else {
    Error(failure);
  }
  return true;
}

void Slots::CmdConnect(Slot* own, unsigned target) {
  if (!CheckSlot(target)) return Error(LGCP::ErrorCause::invalidSlot);
  Slot* dst = Find(target);
  if (!own || !dst) return Error(LGCP::ErrorCause::slotNotExists);
  if (Connect(*own, *dst)) {
    Success();
  } else {
    Error(LGCP::ErrorCause::connectFail);
  }
}

void Slots::CmdDestroy(Slot* slot) {
  if (slot->destroyInProgress) return Error(LGCP::ErrorCause::destroyInProgress);
  if (Destroy(slot)) return Success();
  slot->token = delayResponse();
  slot->replyPending = true;
}

void Slots::CmdCreate(unsigned n, const LGCP::CreateParams& params) {
  if (Slot* old = table[n]) {
    if (old->destroyInProgress) return Error(LGCP::ErrorCause::destroyInProgress);
    // An old slot that defers its destruction keeps the number busy; no
    // reply will be owed for it.
    if (!Destroy(old)) return Error(LGCP::ErrorCause::slotIdBusy);
  }
  Slot* slot = nullptr;
  for (SlotFactory* f = firstFactory; f && !slot; f = f->Next()) slot = f->NewSlot(params);
  if (!slot) return Error(LGCP::ErrorCause::insufficientResources);
  slot->id = int(n);
  live.push_back(slot);
  table[n] = slot;
  Success();
  slot->IAfterCreate();
}

bool Slots::Destroy(Slot* slot) {
  Disconnect(*slot);
  const size_t n = slot->GetListeners().size();
  for (size_t i = 0; i < n; ++i) {
    if (slot->GetListeners().empty()) {
      std::cerr << "mux internal error: expected slots not exists." << std::endl;
      break;
    }
    Disconnect(*slot->GetListeners().front());
  }
  if (!slot->GetListeners().empty()) std::cerr << "mux internal error: unexpected slots exists." << std::endl;
  slot->destroyInProgress = true;
  if (!slot->BeforeDestroy()) return false;
  int_destroy(slot);
  return true;
}

void Slots::on_release(Slot* slot) {
  if (slot->replyPending) delayedSuccess(unsigned(slot->id), slot->token);
  int_destroy(slot);
}

void Slots::int_destroy(Slot* slot) {
  live.remove(slot);
  if (slot->id >= 0 && CheckSlot(unsigned(slot->id)) && table[unsigned(slot->id)] == slot)
    table[unsigned(slot->id)] = nullptr;
  delete slot;
}

void Slots::OnDisconnect() {
  std::list<Slot*> deferred;
  while (!live.empty()) {
    Slot* slot = live.front();
    if (slot->destroyInProgress || !Destroy(slot)) {
      live.pop_front();
      deferred.push_back(slot);
    }
  }
  if (deferred.empty()) return;
  ::sleep(1);
  for (Slot* slot : deferred) {
    // Deleted outright: no factory may keep a pointer to it.
    if (slot->factory) slot->factory->Remove(slot);
    int_destroy(slot);
  }
}

void Slots::OnSignal(const LGCP::Signal& sig) {
  if (sig.currentSelection() != LGCP::Signal::e_trunkStatus) return;
  for (SlotFactory* f = firstFactory; f; f = f->Next()) f->SelfSignal(sig);
}

void Slots::CmdQuery() {
  Success();
  UpdateHardwareResources();
}

void Slots::UpdateHardwareResources() {
  LGCP::Signal sig;
  LGCP::Resources& r = sig.select_query();
  r.set_rtp_g729(0);
  r.set_rtp_g723(0);
  r.set_rtp_g711(0);
  r.set_rtp_g711mcc(0);
  r.set_modem(0);
  r.set_mux(true);
  r.set_mcc_data(0);
  r.set_mcc_bri(0);
  r.set_mcc_trans(0);
  r.get_echoBus().clear();
  r.set_t38_instances(0);
  r.set_digital_modems(0);
  r.set_lin16(0);
  r.get_mixer().clear();
  for (SlotFactory* f = firstFactory; f; f = f->Next()) f->Query(r);
  SendSignal(sig);
}
