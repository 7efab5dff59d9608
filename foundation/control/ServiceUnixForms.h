#pragma once
// Control connections over UNIX-domain stream sockets: a listener on a
// socket path and a connector that retries and reconnects like the TCP one.

#include "foundation/control/Service.h"
#include "foundation/eventloop/Event.h"
#include "foundation/eventloop/Timer.h"

namespace Control {

class AcceptorUnix : public ServiceUnix {
public:
  AcceptorUnix() : AcceptorUnix(std::string()) {}
  explicit AcceptorUnix(const std::string& path);
  ~AcceptorUnix() override;

  // Removes a stale socket file, binds (retrying every 5 s) and listens.
  void BindSocket();
  void OnSocketEvent(int fd, short revents);
  void OnTimeout(Timer*) { BindSocket(); }

  const std::string& path() const { return path_; }

protected:
  bool ImplActivate() override;
  void ImplDeactivate() override;
  void ImplOnDisconnect() override {}
  virtual void ImplRefuseConnection() {}
  virtual void ImplConnected(const Fd&) {}

private:
  std::string path_;
  Fd listen_;
  Timer bind_retry_;
  Event listen_event_;
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
