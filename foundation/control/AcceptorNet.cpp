#include "foundation/control/AcceptorNet.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <iostream>

namespace Control {

AcceptorNet::AcceptorNet(int port, bool verbose) : ServiceNet(verbose), port_(uint16_t(port)) {
  listen_event_.Bind("AcceptorNet::OnSocketEvent", &AcceptorNet::OnSocketEvent, this);
}

AcceptorNet::~AcceptorNet() = default;

bool AcceptorNet::ImplActivate() {
  listen_ = Fd(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!listen_) {
    if (verbose()) std::cerr << "can't create socket:" << std::strerror(errno) << std::endl;
    return false;
  }
  int on = 1;
  setsockopt(listen_.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  BindSocket();
  return true;
}

void AcceptorNet::BindSocket() {
  INet4::Addr any;
  any.set_port(port_);
  if (bind(listen_.get(), any.sa(), INet4::Addr::size()) != 0) {
    if (verbose())
      std::cerr << "can't bind to socket: \"" << std::strerror(errno) << "\" "
                << " waiting..." << std::endl;
    bind_retry_.set(5000, &AcceptorNet::OnTimeout, this);
    return;
  }
  if (listen(listen_.get(), 1) != 0) {
    if (verbose()) std::cerr << "can't listen socket: " << std::strerror(errno) << std::endl;
    Deactivate();
    return;
  }
  if (!listen_.NonBlock()) {
    if (verbose()) std::cerr << "can't set socket to non block mode: " << std::strerror(errno) << std::endl;
    Deactivate();
    return;
  }
  listen_event_.Schedule(listen_, POLLIN);
}

void AcceptorNet::OnSocketEvent(int, short revents) {
  if (!(revents & POLLIN)) return;
  for (;;) {
    INet4::Addr peer;
    socklen_t size = INet4::Addr::size();
    int s = accept(listen_.get(), peer.sa(), &size);
    if (s < 0) return;
    Fd socket(s);
    if (state() == State::Connected) {
      if (verbose()) std::clog << "refuse connection from " << peer << std::endl;
      ImplRefuseConnection();
      continue;
    }
    if (!socket.NonBlock()) {
      if (verbose()) std::cerr << "can't set socket to non block mode: " << std::strerror(errno) << std::endl;
      continue;
    }
    if (verbose()) std::cout << "new connection from " << peer << std::endl;
    Connected(socket, peer);
    ImplConnected(socket);
  }
}

void AcceptorNet::ImplDeactivate() {
  bind_retry_.reset();
  listen_event_.Release();
  listen_.close();
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
  if (check_state_ != CheckState::Idle) return;
  check_state_ = CheckState::CheckConnection;
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
      if (check_state_ == CheckState::CheckConnection) {
        if (info.tcpi_ca_state == 0) {
          check_state_ = CheckState::Idle;
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
      check_state_ = CheckState::Idle;
      SetupKeepAlive(false);
      Disconnect();
      if (verbose()) std::clog << "CheckConnectionState Idle" << std::endl;
    }
  }
  check_.set(1000, &AcceptorNetCheckConnection::OnCheckConnectionTimeout, this);
}

}  // namespace Control
