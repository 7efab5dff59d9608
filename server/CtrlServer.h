#pragma once
// The gateway's end of the controller link. Each frame is decoded as an
// LGCP::Message (aligned PER) and its command offered to the bound services
// in bind order until one takes it; replies and signals go back the same way.
// Every command gets exactly one answer: success, an error, or a promise of a
// delayed success.

#include <iosfwd>
#include <memory>
#include <vector>

#include "asn1/modules/LGCP.h"
#include "foundation/control/Service.h"
#include "server/CtrlService.h"

namespace CtrlSrv {

class Server : public Control::Notify {
public:
  // The slot value of "no slot".
  static constexpr unsigned NoSlot = ~0u;
  static constexpr unsigned MaxSlot = 1023;

  Server() = default;
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;
  ~Server() override;

  // Appends the service to the offering order.
  void Bind(Service* service);
  // Takes the transport, names it "server" and starts it.
  void Activate(Control::Service* service);
  // Stops and deletes the transport; every service hears a disconnect.
  void Deactivate();

  void PutHeader(std::ostream& out) const;

  void OnConnect() override;
  void OnDisconnect() override;
  void OnMessage(const char* data, int length) override;

  // Reply helpers for the command being handled.
  void Success();
  void Error(LGCP::ErrorCause::NamedNumber cause);
  unsigned delayResponse();
  void delayedSuccess(unsigned slot, unsigned token);
  // A signal carries no sequence number; without a slot argument it carries
  // the current command's slot, if any.
  void SendSignal(const LGCP::Signal& sig);
  void SendSignal(unsigned slot, const LGCP::Signal& sig);

  void AssignSeq(LGCP::Message& msg) const;
  void AssignSlot(LGCP::Message& msg) const;
  unsigned GetSlot() const { return slot; }
  bool IsSlotPresent() const { return slot != NoSlot; }
  bool CheckServerConnection(bool& connected) const;
  const std::vector<Service*>& Services() const { return services; }

  // Drops the controller (the loss reaches the services as a disconnect).
  void OnHeartbeatTimeout();
  void SendMsg(LGCP::Message& msg);

private:
  void Handle(const LGCP::Message& msg);
  void Reply(const LGCP::Response& response);

  std::vector<Service*> services;
  std::unique_ptr<Control::Service> conn;
  bool hasSeq = false;
  unsigned seq = 0;
  unsigned slot = NoSlot;
  // 0 nothing sent for the current command, 1 success or delayed, 2 error.
  int ackState = 0;
  // Whether the drop of a message sent with no controller was reported since
  // the last connection: one line per disconnection, not one per message.
  bool dropReported = false;
};

extern Server ctrlServer;

}  // namespace CtrlSrv
