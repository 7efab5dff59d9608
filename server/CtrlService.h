#pragma once
// The interface of every control service: it hears of the controller coming
// and going, is offered each command in bind order, sees the signals other
// services send, and answers through the helpers below.

#include "asn1/modules/LGCP.h"

namespace CtrlSrv {

class Server;

class Service {
public:
  Service() = default;
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;
  virtual ~Service() = default;

  virtual void OnConnect() = 0;
  virtual void OnDisconnect() = 0;
  // True when this service took the command (and answered or delayed it).
  virtual bool OnCommand(const LGCP::Command& cmd) = 0;
  // A signal another service is about to send to the controller.
  virtual void OnSignal(const LGCP::Signal&) {}

  // False, with a complaint on standard error, while the service is unbound.
  bool CheckServer() const;
  // False when unbound or the server has no transport; else tells whether a
  // controller is connected.
  bool CheckServerConnection(bool& connected) const;

  void Success();
  void Error(LGCP::ErrorCause::NamedNumber cause);
  // The current command's slot, all ones for none.
  unsigned GetSlot() const;
  bool IsSlotPresent() const;
  // Promises a later delayedSuccess; the token is the command's sequence number.
  unsigned delayResponse();
  void delayedSuccess(unsigned slot, unsigned token);
  // Shows the signal to every other bound service, then sends it.
  void SendSignal(const LGCP::Signal& sig);
  void SendSignal(unsigned slot, const LGCP::Signal& sig);

private:
  friend class Server;
  void ShowSignal(const LGCP::Signal& sig);

  Server* server = nullptr;
};

}  // namespace CtrlSrv
