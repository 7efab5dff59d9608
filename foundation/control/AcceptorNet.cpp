#include "foundation/control/AcceptorNet.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <iostream>

namespace Control {

AcceptorNet::AcceptorNet(int port, bool verbose)
    : Acceptor("AcceptorNet::OnSocketEvent", verbose), port_(uint16_t(port)) {}

AcceptorNet::~AcceptorNet() = default;

Fd AcceptorNet::open_socket() {
  Fd s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  int on = 1;
  if (s) setsockopt(s.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  return s;
}

int AcceptorNet::bind_socket(int fd) {
  INet4::Addr any;
  any.set_port(port_);
  return bind(fd, any.sa(), INet4::Addr::size());
}

int AcceptorNet::accept_peer(int fd, INet4::Addr& peer) {
  socklen_t size = INet4::Addr::size();
  return accept(fd, peer.sa(), &size);
}

bool AcceptorNetCheckConnection::ImplActivate() {
  AcceptorNet::ImplActivate();
  CheckConnection();
  return true;
}

void AcceptorNetCheckConnection::ImplDeactivate() {
  check_.reset();
  AcceptorNet::ImplDeactivate();
}

void AcceptorNetCheckConnection::ImplRefuseConnection() {
  if (checkState_ != CheckState::Idle) return;
  checkState_ = CheckState::CheckConnection;
  probes_ = 2;
  SetupKeepAlive(true);
  if (verbose()) std::clog << "CheckConnectionState CheckConnection" << std::endl;
}

void AcceptorNetCheckConnection::ImplConnected(const Fd& socket) {
  // A socket that was not attached is not watched: closing it is what
  // tells that peer it was not taken.
  if (state() == State::Connected)
    watched_ = socket.dup();
  else
    watched_.close();
}

void AcceptorNetCheckConnection::on_deactivated(::Protocol* p, Protocol_status status) {
  AcceptorNet::on_deactivated(p, status);
  watched_.close();
}

void AcceptorNetCheckConnection::SetupKeepAlive(bool fast) {
  int on = 1;
  int idle = fast ? 1 : 7200;
  int interval = fast ? 1 : 75;
  int count = fast ? 3 : 9;
  setsockopt(watched_.get(), SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  setsockopt(watched_.get(), IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
  setsockopt(watched_.get(), IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
  setsockopt(watched_.get(), IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
}

void AcceptorNetCheckConnection::CheckConnection() {
  if (state() == State::Connected) {
    bool close = false;
    tcp_info info{};
    socklen_t size = sizeof info;
    if (getsockopt(watched_.get(), IPPROTO_TCP, TCP_INFO, &info, &size) == 0) {
      if (info.tcpi_state != TCP_ESTABLISHED) {
        if (verbose()) std::clog << "connection from " << peer() << " closed: tcp socket change state." << std::endl;
        close = true;
      }
      if (checkState_ == CheckState::CheckConnection) {
        if (info.tcpi_ca_state == 0) {
          checkState_ = CheckState::Idle;
          SetupKeepAlive(false);
          if (verbose()) std::clog << "CheckConnectionState Idle" << std::endl;
        } else {
          if (probes_ > 0) --probes_;
          if (probes_ < 1) {
            if (verbose())
              std::clog << "connection from " << peer() << " closed: tcp socket change ca_state." << std::endl;
            close = true;
          }
        }
      }
    }
    int pending = 0;
    size = sizeof pending;
    int error = getsockopt(watched_.get(), SOL_SOCKET, SO_ERROR, &pending, &size) == 0 ? pending : errno;
    if (error != 0) {
      if (verbose()) std::clog << "connection from " << peer() << " closed: " << std::strerror(error) << std::endl;
      close = true;
    }
    if (close) {
      checkState_ = CheckState::Idle;
      SetupKeepAlive(false);
      Disconnect();
      if (verbose()) std::clog << "CheckConnectionState Idle" << std::endl;
    }
  }
  check_.set(1000, &AcceptorNetCheckConnection::OnCheckConnectionTimeout, this);
}

}  // namespace Control
