#include "foundation/control/ServiceUnixForms.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

namespace Control {

namespace {

// The path in sun_path, cut to fit with its terminating zero.
sockaddr_un unix_address(const std::string& path) {
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
  return a;
}

int bind_path(int fd, const std::string& path) {
  unlink(path.c_str());
  sockaddr_un a = unix_address(path);
  return bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
}

}  // namespace

AcceptorUnix::AcceptorUnix(const std::string& path) : Acceptor("AcceptorUnix::OnSocketEvent", true), path_(path) {}

AcceptorUnix::~AcceptorUnix() = default;

Fd AcceptorUnix::open_socket() { return Fd(socket(AF_UNIX, SOCK_STREAM, 0)); }

int AcceptorUnix::bind_socket(int fd) { return bind_path(fd, path_); }

int AcceptorUnix::accept_peer(int fd, std::string& peer) {
  sockaddr_un a{};
  socklen_t size = sizeof a;
  int s = accept(fd, reinterpret_cast<sockaddr*>(&a), &size);
  if (s >= 0) peer.assign(a.sun_path, strnlen(a.sun_path, sizeof a.sun_path));
  return s;
}

ConnectorUnix::ConnectorUnix(const std::string& path, const std::string& local)
    : ServiceUnix(true), path_(path), local_(local) {}

ConnectorUnix::~ConnectorUnix() = default;

bool ConnectorUnix::ImplActivate() {
  retries_ = 7;
  TryConnect();
  return true;
}

void ConnectorUnix::TryConnect() {
  socket_ = Fd(socket(AF_UNIX, SOCK_STREAM, 0));
  if (!socket_) {
    std::cerr << "can't create domain socket:" << std::strerror(errno) << std::endl;
    Deactivate();
    return;
  }
  if (!socket_.NonBlock()) {
    std::cerr << "can't set domain socket to non block mode: " << std::strerror(errno) << std::endl;
    Deactivate();
    return;
  }
  if (!local_.empty() && bind_path(socket_.get(), local_) != 0)
    std::cerr << "can't bind to domain socket '" << local_ << "': \"" << std::strerror(errno) << std::endl;
  sockaddr_un a = unix_address(path_);
  if (connect(socket_.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    std::cerr << "can't connect to " << path_ << " : " << std::strerror(errno) << std::endl;
    unsigned ms = 20000;
    if (retries_ > 0) {
      --retries_;
      ms = 1000;
    }
    retry_.set(ms, &ConnectorUnix::OnTimeout, this);
    return;
  }
  std::clog << "connected to " << path_ << std::endl;
  Connected(socket_, path_);
  socket_.close();
}

void ConnectorUnix::ImplOnDisconnect() { retry_.set(10000, &ConnectorUnix::OnTimeout, this); }

void ConnectorUnix::ImplDeactivate() {
  Release();
  socket_.close();
  retry_.reset();
}

}  // namespace Control
