#include "slots/tdm/ExtSlot.h"

#include "hardware/HwMux.h"

bool ExtSlot::IBeforeDestroy() {
  HwMux::instance().Disable(rx);
  return true;
}

bool ExtSlot::IActivate(const TERM::TermActivateParams&) {
  OnChangeInputStream(true);
  HwMux::instance().Disconnect(rx);
  return true;
}

bool ExtSlot::IDeactivate() {
  OnChangeInputStream(false);
  HwMux::instance().Disable(rx);
  return true;
}

ExtFactory& ExtFactory::instance() {
  static ExtFactory factory;
  return factory;
}

Slot* ExtFactory::INewSlot(const LGCP::CreateParams& params) {
  if (params.currentSelection() != LGCP::CreateParams::e_ext) return nullptr;
  const int transmitter = params.get_ext().get_transmitter().getValue();
  const int receiver = params.get_ext().get_receiver().getValue();
  // Checked before adding, so no sum can overflow.
  if (transmitter < 0 || transmitter >= Channels || receiver < 0 || receiver >= Channels) return nullptr;
  return new ExtSlot(FirstChannel + transmitter, FirstChannel + receiver);
}
