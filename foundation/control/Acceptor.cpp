#include "foundation/control/Acceptor.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <iostream>

namespace Control {

template <class Branch>
Acceptor<Branch>::Acceptor(const char* event_name, bool verbose) : Branch(verbose) {
  listenEvent_.Bind(event_name, &Acceptor::OnSocketEvent, this);
}

template <class Branch>
Acceptor<Branch>::~Acceptor() = default;

template <class Branch>
bool Acceptor<Branch>::ImplActivate() {
  listen_ = open_socket();
  if (!listen_) {
    if (this->verbose()) std::cerr << "can't create socket:" << std::strerror(errno) << std::endl;
    return false;
  }
  BindSocket();
  return true;
}

template <class Branch>
void Acceptor<Branch>::BindSocket() {
  if (bind_socket(listen_.get()) != 0) {
    if (this->verbose())
      std::cerr << "can't bind to socket: \"" << std::strerror(errno) << "\" "
                << " waiting..." << std::endl;
    bindRetry_.set(5000, &Acceptor::OnTimeout, this);
    return;
  }
  if (listen(listen_.get(), 1) != 0) {
    if (this->verbose()) std::cerr << "can't listen socket: " << std::strerror(errno) << std::endl;
    this->Deactivate();
    return;
  }
  if (!listen_.NonBlock()) {
    if (this->verbose()) std::cerr << "can't set socket to non block mode: " << std::strerror(errno) << std::endl;
    this->Deactivate();
    return;
  }
  listenEvent_.Schedule(listen_, POLLIN);
}

template <class Branch>
void Acceptor<Branch>::OnSocketEvent(int, short revents) {
  if (!(revents & POLLIN)) return;
  for (;;) {
    Peer peer;
    int s = accept_peer(listen_.get(), peer);
    if (s < 0) {
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) PauseAccepting();
      return;
    }
    Fd socket(s);
    if (this->state() == Service::State::Connected) {
      if (this->verbose()) std::clog << "refuse connection from " << peer << std::endl;
      ImplRefuseConnection();
      continue;
    }
    if (!socket.NonBlock()) {
      if (this->verbose()) std::cerr << "can't set socket to non block mode: " << std::strerror(errno) << std::endl;
      continue;
    }
    if (this->verbose()) std::cout << "new connection from " << peer << std::endl;
    this->Connected(socket, peer);
    ImplConnected(socket);
  }
}

template <class Branch>
void Acceptor<Branch>::PauseAccepting() {
  std::cerr << "can't accept connection: " << std::strerror(errno) << ", retrying in 1 s" << std::endl;
  listenEvent_.set_mask(0);
  acceptResume_.set(1000, &Acceptor::OnAcceptResume, this);
}

template <class Branch>
void Acceptor<Branch>::OnAcceptResume(Timer*) {
  listenEvent_.set_mask(POLLIN);
}

template <class Branch>
void Acceptor<Branch>::ImplDeactivate() {
  bindRetry_.reset();
  acceptResume_.reset();
  listenEvent_.Release();
  listen_.close();
}

template class Acceptor<ServiceNet>;
template class Acceptor<ServiceUnix>;

}  // namespace Control
