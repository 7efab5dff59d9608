#include "server/CtrlService.h"

#include <iostream>

#include "server/CtrlServer.h"

namespace CtrlSrv {

bool Service::CheckServer() const {
  if (server) return true;
  std::cerr << "CtrlSrv::Service error! service not connected to server." << std::endl;
  return false;
}

bool Service::CheckServerConnection(bool& connected) const {
  return server && server->CheckServerConnection(connected);
}

void Service::Success() {
  if (CheckServer()) server->Success();
}

void Service::Error(LGCP::ErrorCause::NamedNumber cause) {
  if (CheckServer()) server->Error(cause);
}

unsigned Service::GetSlot() const { return CheckServer() ? server->GetSlot() : Server::NoSlot; }

bool Service::IsSlotPresent() const { return CheckServer() && server->IsSlotPresent(); }

unsigned Service::delayResponse() { return CheckServer() ? server->delayResponse() : Server::NoSlot; }

void Service::delayedSuccess(unsigned slot, unsigned token) {
  if (CheckServer()) server->delayedSuccess(slot, token);
}

void Service::SendSignal(const LGCP::Signal& sig) {
  if (!CheckServer()) return;
  ShowSignal(sig);
  server->SendSignal(sig);
}

void Service::SendSignal(unsigned slot, const LGCP::Signal& sig) {
  if (!CheckServer()) return;
  ShowSignal(sig);
  server->SendSignal(slot, sig);
}

void Service::ShowSignal(const LGCP::Signal& sig) {
  for (Service* other : server->Services())
    if (other != this) other->OnSignal(sig);
}

}  // namespace CtrlSrv
