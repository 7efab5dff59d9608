#pragma once
// The one way the daemon reaches a device of the board. Two backends exist:
// plain system calls on the board, and the simulated board on a host. Which
// one is linked is chosen at build time; nothing else in the daemon knows.
//
// Descriptors returned by Board::open are real descriptors in both backends:
// they can be polled together with sockets, duplicated and closed with the
// ordinary calls. Results and errno follow the system calls they stand for.

#include <poll.h>
#include <sys/types.h>

namespace Board {

int open(const char* path, int flags);
int close(int fd);
ssize_t read(int fd, void* buf, size_t len);
ssize_t write(int fd, const void* buf, size_t len);

// A request whose argument is a record. The record's direction bits do not
// say which way it travels: always pass a buffer of the record's full size
// and unpack it after the call.
int ioctl(int fd, unsigned long request, void* record);

// A request that passes a plain number in place of the pointer.
int ioctlValue(int fd, unsigned long request, unsigned long value);

int poll(struct pollfd* fds, nfds_t count, int timeout);

// A network-interface request on a socket (SIOCGIFCONF, SIOCGIFFLAGS, ...)
// with the system's own argument record (struct ifconf, struct ifreq). On the
// simulated board the interfaces are those of its network-interface model.
int interfaceIoctl(int socket, unsigned long request, void* arg);

// A socket for those requests, made as socket() would make it. On the
// simulated board, where a raw packet socket would need root rights, a local
// datagram socket stands in: its requests reach the interface model alike.
int interfaceSocket(int domain, int type, int protocol);

}  // namespace Board
