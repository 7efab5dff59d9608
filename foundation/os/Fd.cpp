#include "foundation/os/Fd.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

Fd::Fd(int fd) : fd_(fd < 0 ? -1 : fd) {
  if (fd_ >= 0) SetCloexec(fd_, true);
}

Fd::Fd(const Fd& other) : fd_(-1) {
  Fd copy = other.dup();
  fd_ = copy.fd_;
  copy.fd_ = -1;
}

Fd::Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

Fd& Fd::operator=(const Fd& other) {
  if (this != &other) {
    Fd copy = other.dup();
    close();
    fd_ = copy.fd_;
    copy.fd_ = -1;
  }
  return *this;
}

Fd& Fd::operator=(Fd&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

Fd::~Fd() { close(); }

Fd Fd::dup() const {
  Fd copy;
  if (fd_ >= 0) copy.fd_ = fcntl(fd_, F_DUPFD_CLOEXEC, 0);
  if (copy.fd_ < 0) copy.fd_ = -1;
  return copy;
}

int Fd::close() {
  if (fd_ < 0) {
    errno = EBADF;
    return -1;
  }
  int result = ::close(fd_);
  fd_ = -1;
  return result;
}

bool Fd::NonBlock() const { return fd_ >= 0 && NonBlockMode(fd_); }

namespace {
bool setStatusFlag(int fd, int flag, bool on) {
  int flags = fcntl(fd, F_GETFL);
  if (flags < 0) return false;
  flags = on ? (flags | flag) : (flags & ~flag);
  return fcntl(fd, F_SETFL, flags) == 0;
}
}  // namespace

bool NonBlockMode(int fd) { return setStatusFlag(fd, O_NONBLOCK, true); }

bool BlockMode(int fd) { return setStatusFlag(fd, O_NONBLOCK, false); }

bool SetCloexec(int fd, bool on) {
  int flags = fcntl(fd, F_GETFD);
  if (flags < 0) return true;
  flags = on ? (flags | FD_CLOEXEC) : (flags & ~FD_CLOEXEC);
  return fcntl(fd, F_SETFD, flags) != 0;
}
