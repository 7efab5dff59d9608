// The device layer on the simulated board: descriptors of modelled devices
// are answered by their models, everything else goes to the system.

#include "board/Board.h"

#include "board/sim/NetInterfaces.h"
#include "board/sim/Registry.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <mutex>

namespace Board {

namespace {

template <class T>
T result(T r) {
  if (r >= 0) return r;
  errno = int(-r);
  return -1;
}

// A request on a descriptor no model owns goes to the system. A closed one
// is refused here as the board's kernel refuses it, before it looks at the
// request: an emulator that does not know the board's request numbers
// answers those ENOSYS whatever the descriptor.
template <class Argument>
int systemIoctl(int fd, unsigned long request, Argument argument) {
  if (::fcntl(fd, F_GETFD) < 0) return -1;
  return ::ioctl(fd, request, argument);
}

}  // namespace

int open(const char* path, int flags) {
  if (!path) return result(-EFAULT);
  Sim::Registry& board = Sim::Registry::instance();
  {
    std::lock_guard<std::mutex> guard(board.mutex());
    board.sweep();
    int number;
    if (Sim::Device* d = board.atPath(path, number)) return result(board.open(*d, flags, number));
  }
  return ::open(path, flags, 0666);
}

int close(int fd) {
  Sim::Registry& board = Sim::Registry::instance();
  std::lock_guard<std::mutex> guard(board.mutex());
  const bool simulated = board.lookup(fd).device != nullptr;
  const int r = ::close(fd);
  const int err = errno;
  // The open file ends with its last descriptor (dup() and fork() make more).
  if (simulated) board.sweep();
  errno = err;
  return r;
}

ssize_t read(int fd, void* buf, size_t len) {
  Sim::Registry& board = Sim::Registry::instance();
  std::unique_lock<std::mutex> guard(board.mutex());
  const Sim::Registry::Target t = board.lookup(fd);
  if (t.device) {
    if (const int err = t.device->readRefusal()) return result<ssize_t>(-err);
  }
  guard.unlock();
  return ::read(fd, buf, len);
}

ssize_t write(int fd, const void* buf, size_t len) {
  Sim::Registry& board = Sim::Registry::instance();
  std::unique_lock<std::mutex> guard(board.mutex());
  const Sim::Registry::Target t = board.lookup(fd);
  if (!t.device) {
    guard.unlock();
    return ::write(fd, buf, len);
  }
  if (t.file->accessMode == O_RDONLY) return result<ssize_t>(-EBADF);
  if (len && !buf) return result<ssize_t>(-EFAULT);
  if (const int err = t.device->writeRefusal()) return result<ssize_t>(-err);
  return result(t.device->write(*t.file, static_cast<const uint8_t*>(buf), len));
}

int ioctl(int fd, unsigned long request, void* record) {
  Sim::Registry& board = Sim::Registry::instance();
  std::unique_lock<std::mutex> guard(board.mutex());
  const Sim::Registry::Target t = board.lookup(fd);
  if (!t.device) {
    guard.unlock();
    return systemIoctl(fd, request, record);
  }
  const size_t size = t.device->recordSize(uint32_t(request));
  if (size && !record) return result(-EFAULT);
  if (const int err = t.device->requestRefusal(uint32_t(request))) return result(-err);
  Sim::Call call(t.file, uint32_t(request), static_cast<uint8_t*>(record), size);
  return result(t.device->request(call, Sim::Form::Record));
}

int ioctlValue(int fd, unsigned long request, unsigned long value) {
  Sim::Registry& board = Sim::Registry::instance();
  std::unique_lock<std::mutex> guard(board.mutex());
  const Sim::Registry::Target t = board.lookup(fd);
  if (!t.device) {
    guard.unlock();
    return systemIoctl(fd, request, value);
  }
  if (const int err = t.device->requestRefusal(uint32_t(request))) return result(-err);
  Sim::Call call(t.file, uint32_t(request), value);
  return result(t.device->request(call, Sim::Form::Value));
}

int poll(struct pollfd* fds, nfds_t count, int timeout) { return ::poll(fds, count, timeout); }

int interfaceIoctl(int socket, unsigned long request, void* arg) {
  struct stat st;
  if (::fstat(socket, &st) < 0) return -1;
  if (!S_ISSOCK(st.st_mode)) return result(-ENOTTY);
  if (!arg) return result(-EFAULT);
  Sim::Registry& board = Sim::Registry::instance();
  std::lock_guard<std::mutex> guard(board.mutex());
  Sim::Device* net = board.find(Sim::NetInterfaces::Name);
  if (!net) return result(-ENODEV);
  if (const int err = net->requestRefusal(uint32_t(request))) return result(-err);
  Sim::Call call(nullptr, uint32_t(request), static_cast<uint8_t*>(arg), Sim::NetInterfaces::argumentSize(request));
  return result(net->request(call, Sim::Form::Record));
}

int interfaceSocket(int, int type, int) { return ::socket(AF_UNIX, SOCK_DGRAM | (type & SOCK_CLOEXEC), 0); }

}  // namespace Board
