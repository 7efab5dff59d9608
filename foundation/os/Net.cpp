#include "foundation/os/Net.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "board/Board.h"
#include "foundation/os/Fd.h"

namespace Net {

std::string hostname() {
  char name[512];
  if (gethostname(name, sizeof name) != 0) return std::string();
  name[sizeof name - 1] = '\0';
  return name;
}

int hostname(const std::string& name) { return sethostname(name.data(), name.size()); }

namespace {
constexpr int kMaxInterfaces = 16;

bool inNet(in_addr_t address, in_addr_t net, unsigned prefix) {
  uint32_t mask = prefix ? ~uint32_t(0) << (32 - prefix) : 0;
  return (ntohl(address) & mask) == (net & mask);
}

bool selected(const ifreq& record, ifconfig_mode_t mode) {
  if (mode == ifAll) return true;
  in_addr_t address = reinterpret_cast<const sockaddr_in&>(record.ifr_addr).sin_addr.s_addr;
  if ((mode & ifNotLoopback) && strcasecmp(record.ifr_name, "lo") != 0) return true;
  if ((mode & ifLinkLocal) && inNet(address, 0xA9FE0000u, 16)) return true;
  if ((mode & ifPrivate) &&
      (inNet(address, 0x0A000000u, 8) || inNet(address, 0xAC100000u, 12) || inNet(address, 0xC0A80000u, 16)))
    return true;
  return false;
}

// Calls take(socket, record) for each selected IPv4 interface; -1 when the
// list cannot be read, else the number of records take() accepted.
template <class Take>
int walk(ifconfig_mode_t mode, Take take) {
  Fd sock(socket(AF_INET, SOCK_DGRAM, 0));
  if (!sock) return -1;
  ifreq records[kMaxInterfaces];
  memset(records, 0, sizeof records);
  ifconf conf;
  conf.ifc_len = sizeof records;
  conf.ifc_req = records;
  if (Board::interfaceIoctl(sock.get(), SIOCGIFCONF, &conf) < 0) return -1;
  int count = 0;
  int listed = conf.ifc_len / int(sizeof(ifreq));
  for (int i = 0; i < listed && i < kMaxInterfaces; ++i) {
    ifreq& r = records[i];
    if (r.ifr_addr.sa_family != AF_INET || !selected(r, mode)) continue;
    if (take(sock.get(), r)) ++count;
  }
  return count;
}
}  // namespace

int ifconfig(std::list<INet4::Addr>& addresses, ifconfig_mode_t mode) {
  return walk(mode, [&](int sock, const ifreq& r) {
    ifreq query = r;
    if (Board::interfaceIoctl(sock, SIOCGIFADDR, &query) < 0) return false;
    INet4::Addr addr;
    addr.Assign(reinterpret_cast<const sockaddr_in&>(query.ifr_addr).sin_addr.s_addr);
    addresses.push_back(addr);
    return true;
  });
}

int ifconfig(std::list<std::string>& names, ifconfig_mode_t mode, unsigned requiredFlags) {
  return walk(mode, [&](int sock, const ifreq& r) {
    ifreq query = r;
    if (Board::interfaceIoctl(sock, SIOCGIFADDR, &query) < 0) return false;
    query = r;
    if (Board::interfaceIoctl(sock, SIOCGIFFLAGS, &query) < 0) return false;
    if ((unsigned(query.ifr_flags) & requiredFlags) != requiredFlags) return false;
    names.push_back(std::string(r.ifr_name, strnlen(r.ifr_name, IFNAMSIZ)));
    return true;
  });
}

}  // namespace Net
