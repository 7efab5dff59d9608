#pragma once
// Control connections over UNIX-domain stream sockets: a listener on a
// socket path and a connector that retries and reconnects like the TCP one.

#include "foundation/control/Acceptor.h"
#include "foundation/eventloop/Timer.h"

namespace Control {

class AcceptorUnix : public Acceptor<ServiceUnix> {
public:
  AcceptorUnix() : AcceptorUnix(std::string()) {}
  explicit AcceptorUnix(const std::string& path);
  ~AcceptorUnix() override;

  const std::string& path() const { return path_; }

protected:
  Fd open_socket() override;
  // Removes a stale socket file first.
  int bind_socket(int fd) override;
  int accept_peer(int fd, std::string& peer) override;

private:
  std::string path_;
};

class ConnectorUnix : public ServiceUnix {
public:
  ConnectorUnix() : ConnectorUnix(std::string()) {}
  explicit ConnectorUnix(const std::string& path) : ConnectorUnix(path, std::string()) {}
  // local: a path to bind this end to first, or empty.
  ConnectorUnix(const std::string& path, const std::string& local);
  ~ConnectorUnix() override;

  void TryConnect();
  void OnTimeout(Timer*) { TryConnect(); }

protected:
  bool ImplActivate() override;
  void ImplDeactivate() override;
  void ImplOnDisconnect() override;

private:
  std::string path_;
  std::string local_;
  Fd socket_;
  Timer retry_;
  int retries_ = 0;
};

}  // namespace Control
