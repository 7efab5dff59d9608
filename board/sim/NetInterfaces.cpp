#include "board/sim/NetInterfaces.h"

#include <arpa/inet.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "board/Record.h"
#include "board/dev/Mctl.h"
#include "board/sim/Hex.h"

namespace Board {
namespace Sim {

namespace {

namespace Wan = Dev::HdlcIface;

const NetInterfaces::Interface loopback = {"lo", 1, INADDR_LOOPBACK, IFF_UP | IFF_LOOPBACK | IFF_RUNNING};

const char* protocolName(uint32_t protocol) { return protocol == Wan::ProtoPpp ? "ppp" : "hdlc"; }

ifreq& record(Call& call) { return *reinterpret_cast<ifreq*>(call.record); }

sockaddr_in inet(uint32_t address) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(address);
  return a;
}

std::string dotted(uint32_t address) {
  if (!address) return "none";
  const in_addr a{htonl(address)};
  char text[INET_ADDRSTRLEN];
  return inet_ntop(AF_INET, &a, text, sizeof text);
}

}  // namespace

const Answer<NetInterfaces> NetInterfaces::requestTable[] = {
    {uint32_t(SIOCGIFCONF), "list", &NetInterfaces::listInterfaces},
    {uint32_t(SIOCGIFADDR), "address", &NetInterfaces::getAddress},
    {uint32_t(SIOCGIFFLAGS), "flags", &NetInterfaces::getFlags},
    {uint32_t(SIOCGIFNAME), "name", &NetInterfaces::getName},
    {uint32_t(SIOCGIFINDEX), "index", &NetInterfaces::getIndex},
    {uint32_t(SIOCSIFFLAGS), "set-flags", &NetInterfaces::setFlags},
    {uint32_t(SIOCWANDEV), "wandev", &NetInterfaces::wanDevice},
};

const Control<NetInterfaces> NetInterfaces::commandTable[] = {
    {"interfaces", "", &NetInterfaces::showInterfaces},
    {"add", "NAME ADDRESS FLAGS", &NetInterfaces::addInterface},
    {"remove", "NAME", &NetInterfaces::removeInterface},
    {"wan", "NAME CHANNEL", &NetInterfaces::wanInterface},
};

NetInterfaces::NetInterfaces() : Device(Name, "") {
  answer(this, requestTable);
  control(this, commandTable);
  resetState();
}

size_t NetInterfaces::argumentSize(unsigned long request) {
  return request == SIOCGIFCONF ? sizeof(ifconf) : sizeof(ifreq);
}

void NetInterfaces::set(const std::string& name, uint32_t address, uint16_t flags) {
  for (Interface& i : interfaces_) {
    if (i.name != name) continue;
    i.address = address;
    i.flags = flags;
    return;
  }
  int index = 1;
  auto at = interfaces_.begin();
  for (; at != interfaces_.end() && at->index == index; ++at) ++index;
  interfaces_.insert(at, Interface{name, index, address, flags});
}

bool NetInterfaces::remove(const std::string& name) {
  auto it = std::find_if(interfaces_.begin(), interfaces_.end(), [&](const Interface& i) { return i.name == name; });
  if (it == interfaces_.end()) return false;
  interfaces_.erase(it);
  return true;
}

bool NetInterfaces::makeWan(const std::string& name, int32_t channel) {
  for (Interface& i : interfaces_) {
    if (i.name != name) continue;
    i.channel = channel;
    i.protocol = Wan::ProtoHdlc;
    return true;
  }
  return false;
}

void NetInterfaces::resetState() { interfaces_.assign(1, loopback); }

NetInterfaces::Interface* NetInterfaces::byName(const Call& call) {
  const ifreq& r = *reinterpret_cast<const ifreq*>(call.record);
  const std::string name(r.ifr_name, strnlen(r.ifr_name, IFNAMSIZ));
  for (Interface& i : interfaces_) {
    if (i.name == name) return &i;
  }
  return nullptr;
}

// As the kernel: one record per interface with an address while they fit;
// without a buffer, the length the whole list needs.
int NetInterfaces::listInterfaces(Call& call) {
  ifconf& conf = *reinterpret_cast<ifconf*>(call.record);
  const size_t room = conf.ifc_len > 0 ? size_t(conf.ifc_len) / sizeof(ifreq) : 0;
  size_t n = 0;
  for (const Interface& i : interfaces_) {
    if (!i.address) continue;
    if (conf.ifc_req) {
      if (n == room) break;
      ifreq& r = conf.ifc_req[n];
      std::memset(&r, 0, sizeof r);
      std::strncpy(r.ifr_name, i.name.c_str(), IFNAMSIZ - 1);
      const sockaddr_in a = inet(i.address);
      std::memcpy(&r.ifr_addr, &a, sizeof a);
    }
    ++n;
  }
  conf.ifc_len = int(n * sizeof(ifreq));
  return 0;
}

int NetInterfaces::getAddress(Call& call) {
  const Interface* i = byName(call);
  if (!i) return -ENODEV;
  if (!i->address) return -EADDRNOTAVAIL;
  const sockaddr_in a = inet(i->address);
  std::memcpy(&record(call).ifr_addr, &a, sizeof a);
  return 0;
}

int NetInterfaces::getFlags(Call& call) {
  const Interface* i = byName(call);
  if (!i) return -ENODEV;
  record(call).ifr_flags = short(i->flags);
  return 0;
}

int NetInterfaces::getName(Call& call) {
  ifreq& r = record(call);
  for (const Interface& i : interfaces_) {
    if (i.index != r.ifr_ifindex) continue;
    std::memset(r.ifr_name, 0, IFNAMSIZ);
    std::strncpy(r.ifr_name, i.name.c_str(), IFNAMSIZ - 1);
    return 0;
  }
  return -ENODEV;
}

int NetInterfaces::getIndex(Call& call) {
  const Interface* i = byName(call);
  if (!i) return -ENODEV;
  record(call).ifr_ifindex = i->index;
  return 0;
}

int NetInterfaces::setFlags(Call& call) {
  Interface* i = byName(call);
  if (!i) return -ENODEV;
  i->flags = uint16_t(record(call).ifr_flags);
  return 0;
}

// As the generic-HDLC layer: the interface settings, or a protocol switch
// while the interface is down.
int NetInterfaces::wanDevice(Call& call) {
  Interface* i = byName(call);
  if (!i) return -ENODEV;
  if (i->channel < 0) return -EINVAL;
  Wan::Settings s = Wan::settings(record(call));
  if (s.type == Wan::GetIface) {
    const uint32_t room = s.size;
    s.size = Wan::IfaceSize;
    Wan::putSettings(record(call), s);
    if (room < Wan::IfaceSize) return -ENOBUFS;
    if (!s.data) return -EFAULT;
    uint8_t words[Wan::IfaceSize] = {};
    RecordWriter(words, sizeof words).put(Wan::Channel, i->channel);
    std::memcpy(s.data, words, sizeof words);
    return 0;
  }
  if (s.type != Wan::ProtoHdlc && s.type != Wan::ProtoPpp) return -EINVAL;
  if (i->flags & IFF_UP) return -EBUSY;
  i->protocol = s.type;
  return 0;
}

void NetInterfaces::showInterfaces(Args&, Reply& reply) {
  for (const Interface& i : interfaces_) {
    std::string line =
        std::to_string(i.index) + " " + i.name + " " + dotted(i.address) + " flags=" + Hex::number(i.flags);
    if (i.channel >= 0) line += " channel=" + std::to_string(i.channel) + " proto=" + protocolName(i.protocol);
    reply.line(line);
  }
}

void NetInterfaces::addInterface(Args& args, Reply&) {
  const std::string name = args.word();
  if (name.size() >= IFNAMSIZ) args.bad("name", name);
  const std::string text = args.word();
  in_addr a{};
  if (args && text != "none" && inet_pton(AF_INET, text.c_str(), &a) != 1) args.bad("address", text);
  const uint16_t flags = uint16_t(args.number("flags", 0, 0xFFFF));
  if (args) set(name, ntohl(a.s_addr), flags);
}

void NetInterfaces::removeInterface(Args& args, Reply& reply) {
  const std::string name = args.word();
  if (!remove(name)) reply.fail("no such interface: " + name);
}

void NetInterfaces::wanInterface(Args& args, Reply& reply) {
  const std::string name = args.word();
  const int32_t channel = int32_t(args.number("channel", 0, INT32_MAX));
  if (args && !makeWan(name, channel)) reply.fail("no such interface: " + name);
}

}  // namespace Sim
}  // namespace Board
