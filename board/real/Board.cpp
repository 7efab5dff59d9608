// The device layer on the board itself: the plain system calls.

#include "board/Board.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>

namespace Board {

int open(const char* path, int flags) {
  if (!path) {
    errno = EFAULT;
    return -1;
  }
  return ::open(path, flags, 0666);
}

int close(int fd) { return ::close(fd); }

ssize_t read(int fd, void* buf, size_t len) { return ::read(fd, buf, len); }

ssize_t write(int fd, const void* buf, size_t len) { return ::write(fd, buf, len); }

int ioctl(int fd, unsigned long request, void* record) { return ::ioctl(fd, request, record); }

int ioctlValue(int fd, unsigned long request, unsigned long value) { return ::ioctl(fd, request, value); }

int poll(struct pollfd* fds, nfds_t count, int timeout) { return ::poll(fds, count, timeout); }

int interfaceIoctl(int socket, unsigned long request, void* arg) { return ::ioctl(socket, request, arg); }

int interfaceSocket(int domain, int type, int protocol) { return ::socket(domain, type, protocol); }

}  // namespace Board
