#include "foundation/protocol/StrmProtocol.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>

#include "foundation/eventloop/Multiplexer.h"
#include "foundation/os/Ext.h"

namespace {

// The whole write of one packet, retries included, may block the loop this long.
constexpr int write_budget_ms = 1000;

int socket_option(int fd, int option) {
  int value = 0;
  socklen_t size = sizeof value;
  getsockopt(fd, SOL_SOCKET, option, &value, &size);
  return value;
}

int socket_request(int fd, unsigned long request) {
  int value = 0;
  ioctl(fd, request, &value);
  return value;
}

// The budget is measured on the monotonic clock itself: the loop's cached
// time does not move while the loop is blocked here.
long elapsed_ms(std::chrono::steady_clock::time_point since) {
  return long(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count());
}

}  // namespace

StrmProtocol::StrmProtocol() { event_.Bind("StrmProtocol::on_event", &StrmProtocol::on_event, this); }

StrmProtocol::StrmProtocol(const Fd& fd) : StrmProtocol() { attach(fd); }

StrmProtocol::~StrmProtocol() { release(); }

void StrmProtocol::attach(const Fd& fd) {
  event_.Release();
  if (&fd != &fd_) fd_ = fd.dup();
  outqNonzero_ = outq_space() != 0;
}

void StrmProtocol::release() {
  if (!fd_) return;
  event_.Release();
  fd_.close();
}

void StrmProtocol::local_activate() {
  if (!fd_) {
    on_deactivate(new Protocol_status_error(this, "fd not attached"));
    return;
  }
  event_.Schedule(fd_, POLLIN);
  on_activate();
}

void StrmProtocol::local_deactivate() {
  release();
  on_deactivate(new Protocol_status_success(this, "success"));
}

void StrmProtocol::on_event(int, short revents) {
  if (revents & POLLERR)
    on_error(std::string("pollerr: ") + std::strerror(errno));
  else if (revents & POLLHUP)
    on_error(std::string("pollhup: ") + std::strerror(errno));
  else if (revents & POLLIN)
    do_read();
}

void StrmProtocol::do_read() {
  Packet p;
  p.reserve_head(0);
  read_.begin();
  ssize_t n = recv(fd_.get(), p.tail(), p.tailroom(), MSG_DONTWAIT | MSG_NOSIGNAL);
  int error = errno;
  read_.end();
  if (n < 0) {
    if (error != EAGAIN && error != EWOULDBLOCK && error != EINTR)
      on_error(std::string("read error: ") + std::strerror(error));
    return;
  }
  if (n == 0) {
    on_error(std::string("read error: ") + std::strerror(error));
    return;
  }
  p.extend_tail(unsigned(n));
  on_message(p);
}

void StrmProtocol::message(Packet& p) {
  p.passert(!p.null(), "null packet");
  write_.begin();
  const auto start = std::chrono::steady_clock::now();
  const uint8_t* data = p.data();
  size_t left = p.length();
  while (left > 0) {
    ssize_t n = send(fd_.get(), data, left, MSG_NOSIGNAL);
    if (n >= 0) {
      data += n;
      left -= size_t(n);
      continue;
    }
    int error = errno;
    if (error == EINTR) continue;
    if (error != EAGAIN && error != EWOULDBLOCK) {
      write_.end();
      report_write_failure("write error", error);
      on_error(std::string("write error: ") + std::strerror(error));
      return;
    }
    long remaining = write_budget_ms - elapsed_ms(start);
    int ready = 0;
    if (remaining > 0) {
      pollfd entry = {fd_.get(), POLLOUT, 0};
      multiplexer.resetWD();
      ready = poll(&entry, 1, int(remaining));
      error = errno;
      multiplexer.resetWD();
    }
    if (ready == 0 || (ready < 0 && error != EINTR)) {
      write_.end();
      report_write_failure("write timeout", 0);
      on_error("write timeout");
      return;
    }
  }
  write_.end();
}

void StrmProtocol::report_write_failure(const char* what, int error) {
  std::cerr << ext::header(this) << what << ", sendbuf=" << sendbuf_space() << ", recvbuf=" << recvbuf_space()
            << ", free=" << free_space() << ", inq=" << inq_space() << ", outq=" << outq_space();
  if (error) std::cerr << ", error=" << std::strerror(error);
  std::cerr << std::endl;
  ++overflow_;
}

void StrmProtocol::on_error(const std::string& text) {
  release();
  on_deactivate(new Protocol_status_error(this, text));
}

int StrmProtocol::sendbuf_space() const { return socket_option(fd_.get(), SO_SNDBUF); }
int StrmProtocol::recvbuf_space() const { return socket_option(fd_.get(), SO_RCVBUF); }
int StrmProtocol::inq_space() const { return socket_request(fd_.get(), FIONREAD); }
int StrmProtocol::outq_space() const { return socket_request(fd_.get(), TIOCOUTQ); }

int StrmProtocol::free_space() const {
  int outq = outq_space();
  return outqNonzero_ ? outq : sendbuf_space() - outq;
}

void StrmProtocol::PutHeader(std::ostream& os) const { os << "SockStream[" << name_ << "]: "; }
