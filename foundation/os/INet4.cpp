#include "foundation/os/INet4.h"

#include <arpa/inet.h>

#include <cstdlib>
#include <cstring>
#include <ostream>
#include <sstream>

namespace INet4 {

void Addr::Reset() {
  memset(&sa_, 0, sizeof sa_);
  sa_.sin_family = AF_INET;
}

int Addr::Assign(const char* text, int* port) {
  if (!text) return 0;
  std::string address(text);
  std::string::size_type colon = address.find(':');
  if (colon == std::string::npos) {
    if (port) *port = -1;
  } else {
    int number = int(strtol(address.c_str() + colon + 1, nullptr, 10));
    sa_.sin_port = htons((unsigned short)number);
    if (port) *port = number;
    address.erase(colon);
  }
  in_addr parsed;
  if (!inet_aton(address.c_str(), &parsed)) return 0;
  sa_.sin_addr = parsed;
  return 1;
}

int Addr::Assign(const std::string& text, int* port) { return Assign(text.c_str(), port); }

void Addr::Assign(unsigned long address) { sa_.sin_addr.s_addr = in_addr_t(address); }

bool Addr::IsEqual(const Addr& other) const {
  return sa_.sin_addr.s_addr == other.sa_.sin_addr.s_addr && sa_.sin_port == other.sa_.sin_port;
}

void Addr::Put(std::ostream& out) const {
  char text[INET_ADDRSTRLEN];
  inet_ntop(AF_INET, &sa_.sin_addr, text, sizeof text);
  out << text << ':' << port();
}

std::string Addr::GetString() const {
  std::ostringstream out;
  Put(out);
  return out.str();
}

std::vector<unsigned char> Addr::GetVector() const {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&sa_.sin_addr.s_addr);
  return std::vector<unsigned char>(bytes, bytes + 4);
}

std::ostream& operator<<(std::ostream& out, const Addr& addr) {
  addr.Put(out);
  return out;
}

}  // namespace INet4
