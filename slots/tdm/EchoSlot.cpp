#include "slots/tdm/EchoSlot.h"

#include <iostream>

void EchoSlot::IAfterCreate() {
  OnChangeOutputStream(true);
  OnChangeInputStream(true);
}

EchoFactory& EchoFactory::instance() {
  static EchoFactory factory;
  return factory;
}

void EchoFactory::Scan() {
  present.fill(0);
  std::clog << "Scanning echo channels ..." << std::endl;
}

Slot* EchoFactory::INewSlot(const LGCP::CreateParams& params) {
  if (params.currentSelection() != LGCP::CreateParams::e_echo) return nullptr;
  const unsigned bus = unsigned(params.get_echo().get_bus().getValue());
  if (bus >= Buses || !present[bus]) return nullptr;
  return new EchoSlot(int(32 * bus + unsigned(params.get_echo().get_channel().getValue())));
}

void EchoFactory::Query(LGCP::Resources& resources) {
  for (unsigned bus = 0; bus < Buses; ++bus) {
    if (!present[bus]) continue;
    ASN1::INTEGER n;
    n.setValue(bus);
    resources.get_echoBus().push_back(n);
  }
}
