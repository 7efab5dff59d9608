#include "foundation/control/ConnectorNet.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <iostream>

namespace Control {

namespace {
constexpr int quick_retries = 7;
constexpr unsigned quick_retry_ms = 1000;
constexpr unsigned refused_retry_ms = 20000;
constexpr unsigned hangup_retry_ms = 15000;
constexpr unsigned failed_retry_ms = 12000;
constexpr unsigned reconnect_ms = 10000;
}  // namespace

ConnectorNet::ConnectorNet(const std::string& host, unsigned short port) : ServiceNet(true), port_(port), host_(host) {
  event_.Bind("ConnectorNet::OnSocketEvent", &ConnectorNet::OnSocketEvent, this);
}

ConnectorNet::ConnectorNet(const std::string& address) : ConnectorNet() {
  INet4::Addr parsed;
  parsed.Assign(address, nullptr);
  port_ = parsed.port();
  host_ = inet_ntoa(parsed.address());
}

ConnectorNet::~ConnectorNet() = default;

INet4::Addr ConnectorNet::address() const {
  INet4::Addr a;
  a.Assign(host_, nullptr);
  a.set_port(port_);
  return a;
}

bool ConnectorNet::ImplActivate() {
  retries_ = quick_retries;
  TryConnect();
  return true;
}

void ConnectorNet::retry(unsigned slow_ms) {
  unsigned ms = slow_ms;
  if (retries_ > 0) {
    --retries_;
    ms = quick_retry_ms;
  }
  retry_.set(ms, &ConnectorNet::OnTimeout, this);
}

void ConnectorNet::TryConnect() {
  connecting_ = Fd(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!connecting_) {
    std::cerr << "can't create socket:" << std::strerror(errno) << std::endl;
    Deactivate();
    return;
  }
  if (!connecting_.NonBlock()) {
    std::cerr << "can't set socket to non block mode: " << std::strerror(errno) << std::endl;
    Deactivate();
    return;
  }
  const INet4::Addr peer = address();
  if (connect(connecting_.get(), peer.sa(), INet4::Addr::size()) == 0) {
    std::clog << "already connected to " << peer << std::endl;
    Connected(connecting_, peer);
    connecting_.close();
    return;
  }
  if (errno == EINPROGRESS) {
    event_.Schedule(connecting_, POLLOUT);
    return;
  }
  std::cerr << "can't connect to " << peer << " : " << std::strerror(errno) << std::endl;
  retry(refused_retry_ms);
}

void ConnectorNet::OnSocketEvent(int, short revents) {
  const INet4::Addr peer = address();
  if (revents & (POLLERR | POLLHUP)) {
    std::cerr << "fail to connect to " << peer << std::endl;
    event_.Release();
    retry(hangup_retry_ms);
    return;
  }
  if (!(revents & POLLOUT)) return;
  event_.Release();
  int pending = 0;
  socklen_t size = sizeof pending;
  if (getsockopt(connecting_.get(), SOL_SOCKET, SO_ERROR, &pending, &size) != 0) {
    std::cerr << "getsockopt(SOL_SOCKET,SO_ERROR) fail: " << std::strerror(errno) << std::endl;
    Deactivate();
    return;
  }
  if (pending != 0) {
    std::cerr << "fail to connect to " << peer << std::endl;
    retry(failed_retry_ms);
    return;
  }
  std::cout << "connected to " << peer << "." << std::endl;
  Connected(connecting_, peer);
  connecting_.close();
}

void ConnectorNet::ImplOnDisconnect() { retry_.set(reconnect_ms, &ConnectorNet::OnTimeout, this); }

void ConnectorNet::ImplDeactivate() {
  Release();
  connecting_.close();
  retry_.reset();
  event_.Release();
}

}  // namespace Control
