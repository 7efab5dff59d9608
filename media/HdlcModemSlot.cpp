#include "media/HdlcModemSlot.h"

#include <linux/sockios.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "board/Board.h"
#include "board/Paths.h"
#include "board/dev/Mctl.h"
#include "foundation/os/Ext.h"
#include "foundation/os/Fd.h"
#include "media/ModemFactory.h"

namespace Wan = Board::Dev::HdlcIface;

namespace {

ifreq named(const std::string& name) {
  ifreq r{};
  std::strncpy(r.ifr_name, name.c_str(), IFNAMSIZ - 1);
  return r;
}

}  // namespace

HdlcModemSlot::HdlcModemSlot(ModemFactory& factory, const TERM::ModemParams& params, std::string interface)
    : ModemSlot(factory, params), interface(std::move(interface)) {}

HdlcModemSlot::~HdlcModemSlot() {
  pppd_kill();
  unbind();
  Fd sock(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  ifreq r = named(interface);
  if (Board::interfaceIoctl(sock.get(), SIOCGIFFLAGS, &r) < 0) {
    std::cerr << ext::header(this) << "SIOCGIFFLAGS fail!!!" << std::endl;
  } else {
    r.ifr_flags = short(r.ifr_flags & ~IFF_UP);
    if (Board::interfaceIoctl(sock.get(), SIOCSIFFLAGS, &r) < 0) {
      std::cerr << ext::header(this) << "SIOCSIFFLAGS fail!!!" << std::endl;
    }
  }
  uint8_t word[Wan::ProtoSize] = {};
  wanRequest(sock.get(), Wan::ProtoHdlc, word, sizeof word, "SIOCWANDEV/IF_PROTO_HDLC fail!");
}

void HdlcModemSlot::unbind() { factory.ReleaseModemSlot(this); }

bool HdlcModemSlot::IOnOutputStream() {
  initModem();
  return true;
}

bool HdlcModemSlot::IOnInputStream() {
  initModem();
  return true;
}

bool HdlcModemSlot::wanRequest(int socket, uint32_t type, void* buffer, size_t size, const char* failure) {
  ifreq r = named(interface);
  Wan::putSettings(r, Wan::Settings{type, uint32_t(size), buffer});
  if (Board::interfaceIoctl(socket, SIOCWANDEV, &r) == 0) return true;
  std::cerr << ext::header(this) << failure << std::endl;
  return false;
}

void HdlcModemSlot::initModem() {
  if (pid > 0) return;
  Fd sock(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!sock) {
    std::cerr << ext::header(this) << "socket fail: " << std::strerror(errno) << std::endl;
    return;
  }
  uint8_t settings[Wan::IfaceSize] = {};
  if (!wanRequest(sock.get(), Wan::GetIface, settings, sizeof settings, "SIOCWANDEV/IF_GET_IFACE fail!")) return;
  channel = Board::RecordReader(settings, sizeof settings).get(Wan::Channel);
  uint8_t word[Wan::ProtoSize] = {};
  if (!wanRequest(sock.get(), Wan::ProtoPpp, word, sizeof word, "SIOCWANDEV/IF_PROTO_PPP fail!")) return;
  pppd_exec(interface.c_str(), Board::Paths::PppdInOptions);
}
