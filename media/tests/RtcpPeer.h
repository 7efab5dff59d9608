#pragma once
// The far end's RTCP port: a UDP socket on 127.0.0.1. It shares its port with
// the slot's RTCP socket on the wildcard address (a slot without a source
// address binds the far end's port + 1) and still gets what is sent to 127.0.0.1.

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

class RtcpPeer {
public:
  // On `port`, or on a free one.
  explicit RtcpPeer(unsigned short at = 0) : fd_(::socket(AF_INET, SOCK_DGRAM, 0)) {
    const int on = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(at);
    socklen_t len = sizeof a;
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), len);
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
  }
  ~RtcpPeer() { ::close(fd_); }

  // The next datagram and the port it came from; empty after a second.
  std::vector<uint8_t> receive(unsigned* from = nullptr) {
    pollfd p{fd_, POLLIN, 0};
    uint8_t buf[1500];
    sockaddr_in a{};
    socklen_t len = sizeof a;
    const ssize_t n = ::poll(&p, 1, 1000) == 1 ? ::recvfrom(fd_, buf, sizeof buf, 0, (sockaddr*)&a, &len) : 0;
    if (from) *from = ntohs(a.sin_port);
    return std::vector<uint8_t>(buf, buf + (n > 0 ? n : 0));
  }

  unsigned short port = 0;

private:
  int fd_;
};
