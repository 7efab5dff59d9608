#pragma once
// The listening side of a TCP control connection: one peer at a time, any
// other refused. The checking form also watches the current peer's TCP state
// every second and, when a second peer knocks, probes the current one with
// fast keep-alives so that a dead controller makes room quickly.

#include "foundation/control/Acceptor.h"
#include "foundation/eventloop/Timer.h"

namespace Control {

class AcceptorNet : public Acceptor<ServiceNet> {
public:
  AcceptorNet() : AcceptorNet(0) {}
  explicit AcceptorNet(int port) : AcceptorNet(port, true) {}
  AcceptorNet(int port, bool verbose);
  ~AcceptorNet() override;

  unsigned short port() const { return port_; }

protected:
  Fd open_socket() override;
  int bind_socket(int fd) override;
  int accept_peer(int fd, INet4::Addr& peer) override;

private:
  unsigned short port_;
};

class AcceptorNetCheckConnection : public AcceptorNet {
public:
  struct CheckState {
    enum Type { Idle = 0, CheckConnection = 1 };
  };

  AcceptorNetCheckConnection() : AcceptorNetCheckConnection(0) {}
  explicit AcceptorNetCheckConnection(int port) : AcceptorNetCheckConnection(port, true) {}
  AcceptorNetCheckConnection(int port, bool verbose) : AcceptorNet(port, verbose) {}

  // One look at the current peer's socket; re-arms itself every 1000 ms.
  void CheckConnection();
  // Fast: probe after 1 s idle, every 1 s, 3 probes. Normal: 7200 s, 75 s, 9.
  void SetupKeepAlive(bool fast);
  void OnCheckConnectionTimeout(Timer*) { CheckConnection(); }

  CheckState::Type check_state() const { return checkState_; }

protected:
  bool ImplActivate() override;
  void ImplDeactivate() override;
  void ImplRefuseConnection() override;
  void ImplConnected(const Fd& socket) override;
  // Closes the watched duplicate at once, so the peer sees the close.
  void on_deactivated(::Protocol* p, Protocol_status status) override;

private:
  Timer check_;
  // A duplicate of the connected socket, for the checks.
  Fd watched_;
  CheckState::Type checkState_ = CheckState::Idle;
  int probes_ = 0;
};

}  // namespace Control
