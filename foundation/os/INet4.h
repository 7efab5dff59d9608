#pragma once
// An IPv4 socket address, exactly as bind(), connect() and accept() take it.

#include <netinet/in.h>
#include <sys/socket.h>

#include <iosfwd>
#include <string>
#include <vector>

namespace INet4 {

class Addr {
public:
  // 0.0.0.0, port 0.
  Addr() { Reset(); }

  void Reset();
  // "a.b.c.d" or "a.b.c.d:port". Without a colon *port receives -1 and the
  // stored port stays; with one the decimal port is stored and returned,
  // even when the address part is refused. 1 when the address was read,
  // else 0 with the stored address unchanged.
  int Assign(const char* text, int* port);
  int Assign(const std::string& text, int* port);
  // The address in network byte order.
  void Assign(unsigned long address);

  bool IsEqual(const Addr& other) const;
  // "a.b.c.d:port", the port always written.
  void Put(std::ostream& out) const;
  std::string GetString() const;
  // The four address bytes in network order.
  std::vector<unsigned char> GetVector() const;

  in_addr address() const { return sa_.sin_addr; }
  // The port in host byte order.
  unsigned short port() const { return ntohs(sa_.sin_port); }
  void set_port(unsigned short port) { sa_.sin_port = htons(port); }

  sockaddr* sa() { return reinterpret_cast<sockaddr*>(&sa_); }
  const sockaddr* sa() const { return reinterpret_cast<const sockaddr*>(&sa_); }
  sockaddr_in& in() { return sa_; }
  const sockaddr_in& in() const { return sa_; }
  static socklen_t size() { return sizeof(sockaddr_in); }

private:
  sockaddr_in sa_;
};

std::ostream& operator<<(std::ostream& out, const Addr& addr);

}  // namespace INet4
