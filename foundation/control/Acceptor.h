#pragma once
// The listening half shared by the TCP and UNIX acceptors: binds, retrying
// every 5 s while the address is taken, listens for one peer at a time and
// refuses any other while one is connected. The address family supplies the
// socket, the bind and the accept.

#include "foundation/control/Service.h"
#include "foundation/eventloop/Event.h"
#include "foundation/eventloop/Timer.h"

namespace Control {

template <class Branch>
class Acceptor : public Branch {
public:
  using Peer = typename Branch::Peer;

  ~Acceptor() override;

  void BindSocket();
  void OnSocketEvent(int fd, short revents);
  void OnTimeout(Timer*) { BindSocket(); }
  void OnAcceptResume(Timer*);

protected:
  // event_name: the listening socket's name in the loop's dumps.
  Acceptor(const char* event_name, bool verbose);

  bool ImplActivate() override;
  void ImplDeactivate() override;
  void ImplOnDisconnect() override {}
  virtual void ImplRefuseConnection() {}
  virtual void ImplConnected(const Fd&) {}

  // A new listening socket with the family's options set.
  virtual Fd open_socket() = 0;
  // bind(2) of the listening socket to the service's address.
  virtual int bind_socket(int fd) = 0;
  // accept(2) on the listening socket, the peer's address into `peer`.
  virtual int accept_peer(int fd, Peer& peer) = 0;

private:
  // Out of descriptors or memory the pending connection stays readable:
  // stop watching it for a while instead of spinning on accept().
  void PauseAccepting();

  Fd listen_;
  Timer bindRetry_;
  Timer acceptResume_;
  Event listenEvent_;
};

extern template class Acceptor<ServiceNet>;
extern template class Acceptor<ServiceUnix>;

}  // namespace Control
