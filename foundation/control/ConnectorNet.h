#pragma once
// The connecting side of a TCP control connection. It retries until it gets
// through (seven quick retries after each activation, then slow ones) and
// reconnects 10 s after a loss.

#include "foundation/control/Service.h"
#include "foundation/eventloop/Event.h"
#include "foundation/eventloop/Timer.h"

namespace Control {

class ConnectorNet : public ServiceNet {
public:
  ConnectorNet() : ConnectorNet(std::string(), 0) {}
  // "a.b.c.d" with an optional ":port".
  explicit ConnectorNet(const std::string& address);
  ConnectorNet(const std::string& host, unsigned short port);
  ~ConnectorNet() override;

  void TryConnect();
  void OnSocketEvent(int fd, short revents);
  void OnTimeout(Timer*) { TryConnect(); }

  const std::string& host() const { return host_; }
  unsigned short port() const { return port_; }

protected:
  bool ImplActivate() override;
  void ImplDeactivate() override;
  void ImplOnDisconnect() override;

private:
  // After a failure: 1000 ms while quick retries remain, else slow_ms.
  void retry(unsigned slow_ms);
  INet4::Addr address() const;

  unsigned short port_;
  std::string host_;
  Fd connecting_;
  Timer retry_;
  Event event_;
  int retries_ = 0;
};

}  // namespace Control
