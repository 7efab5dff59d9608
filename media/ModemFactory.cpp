#include "media/ModemFactory.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "board/Board.h"
#include "board/DevicePaths.h"
#include "board/Paths.h"
#include "board/dev/Mctl.h"
#include "foundation/os/Ext.h"
#include "foundation/os/INet4.h"
#include "media/AuthClient.h"
#include "media/DspModemSlot.h"
#include "media/HdlcModemSlot.h"
#include "media/ModemControl.h"
#include "media/PppAuth.h"

namespace Wan = Board::Dev::HdlcIface;

ModemFactory& ModemFactory::instance() {
  static ModemFactory factory;
  return factory;
}

ModemFactory::ModemFactory() {
  IQuery();
  Init();
}

ModemFactory::~ModemFactory() {
  for (AuthClient* c : clients) delete c;
}

void ModemFactory::PutHeader(std::ostream& out) const {
  out << "modem[" << dspModems << "," << modemSlots.size() << "]: ";
}

Slot* ModemFactory::INewSlot(const LGCP::CreateParams& params) {
  if (params.currentSelection() != LGCP::CreateParams::e_modem) return nullptr;
  const TERM::ModemParams& modem = params.get_modem();
  ModemSlot* slot;
  if (modem.hasOptionalField(TERM::ModemParams::o_ddm) && modem.get_ddm().size() > 0 && !freeNames.empty()) {
    auto* digital = new HdlcModemSlot(*this, modem, freeNames.front());
    freeNames.pop_front();
    hdlcSlots.push_back(digital);
    slot = digital;
  } else {
    auto* dsp = new DspModemSlot(*this, modem);
    dspSlots.push_back(dsp);
    slot = dsp;
  }
  modemSlots.push_back(slot);
  return slot;
}

void ModemFactory::Query(LGCP::Resources& resources) {
  IQuery();
  resources.set_modem(dspModems);
  resources.set_digital_modems(int(freeNames.size()));
}

void ModemFactory::IQuery() {
  update_modemDevices();
  update_hdlcDevices();
}

void ModemFactory::update_modemDevices() {
  dspModems = 0;
  const Fd control = ModemControl::open(O_RDWR | O_CLOEXEC);
  if (!control) {
    std::cerr << ext::header(this) << "fail to open " << ext::quoted(GetModemDevName()) << " : " << std::strerror(errno)
              << std::endl;
    return;
  }
  // Modem numbers rise; a driver that repeats one must not hold the loop.
  for (int previous = -1;;) {
    const int next = ModemControl::next(control, previous);
    if (next < 0) {
      if (errno != ENODEV) std::cerr << ext::header(this) << "enum fail: " << std::strerror(errno) << std::endl;
      return;
    }
    if (next <= previous) return;
    ++dspModems;
    previous = next;
  }
}

bool ModemFactory::interfaceInUse(const std::string& name) const {
  return std::any_of(hdlcSlots.begin(), hdlcSlots.end(),
                     [&](const HdlcModemSlot* s) { return s->interfaceName() == name; });
}

void ModemFactory::update_hdlcDevices() {
  freeNames.clear();
  Fd sock(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!sock) {
    std::cerr << ext::header(this) << "socket fail: " << std::strerror(errno) << std::endl;
    return;
  }
  for (int n = 0; n < Wan::Count; ++n) {
    ifreq r{};
    std::snprintf(r.ifr_name, IFNAMSIZ, Wan::NamePattern, n);
    const std::string name = r.ifr_name;
    // The first name that does not exist ends the list; any other failure is worth a line.
    const char* failed = Board::interfaceIoctl(sock.get(), SIOCGIFINDEX, &r) < 0   ? "SIOCGIFINDEX"
                         : Board::interfaceIoctl(sock.get(), SIOCGIFFLAGS, &r) < 0 ? "SIOCGIFFLAGS"
                                                                                   : nullptr;
    if (failed && errno != ENODEV)
      std::cerr << ext::header(this) << name << ": " << failed << " fail: " << std::strerror(errno) << std::endl;
    if (failed) break;
    const bool pointToPoint = (r.ifr_flags & IFF_POINTOPOINT) && !(r.ifr_flags & IFF_LOOPBACK);
    // An interface a live slot holds is not free, whatever the list said before.
    if (pointToPoint && !interfaceInUse(name)) freeNames.push_back(name);
  }
  if (freeNames.empty()) return;
  std::clog << ext::header(this) << "found point-o-point devices:";
  for (const std::string& name : freeNames) std::clog << ' ' << name;
  std::clog << std::endl;
}

void ModemFactory::ReleaseModemSlot(DspModemSlot* slot) {
  dspSlots.remove(slot);
  modemSlots.remove(slot);
}

void ModemFactory::ReleaseModemSlot(HdlcModemSlot* slot) {
  const auto it = std::find(hdlcSlots.begin(), hdlcSlots.end(), slot);
  if (it == hdlcSlots.end()) return;
  hdlcSlots.erase(it);
  modemSlots.remove(slot);
  const std::string& name = slot->interfaceName();
  if (std::find(freeNames.begin(), freeNames.end(), name) == freeNames.end()) freeNames.push_back(name);
}

void ModemFactory::Init() {
  Fd sock(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!sock) {
    std::cerr << ext::header(this) << "fail to create auth socket: " << std::strerror(errno) << std::endl;
    return;
  }
  // A restarted daemon must get its port back at once.
  const int on = 1;
  ::setsockopt(sock.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  INet4::Addr local;
  local.in().sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  local.set_port(Board::Paths::authPort());
  const char* failure = nullptr;
  if (::bind(sock.get(), local.sa(), INet4::Addr::size()) != 0) {
    failure = "fail to bind auth socket: ";
  } else if (::listen(sock.get(), ListenBacklog) != 0) {
    failure = "fail to listen auth socket: ";
  } else if (!sock.NonBlock()) {
    failure = "can't set socket to non block mode: ";
  }
  if (failure) {
    std::cerr << ext::header(this) << failure << std::strerror(errno) << std::endl;
    return;
  }
  listener = std::move(sock);
  listenerEvent.Bind("ModemFactory::OnSocketEvent", &ModemFactory::OnSocketEvent, this);
  listenerEvent.Schedule(listener, POLLIN);
}

void ModemFactory::closeListener() {
  acceptResume.reset();
  listenerEvent.Release();
  listenerEvent.UnBind();
  listener.close();
}

void ModemFactory::OnSocketEvent(int, short revents) {
  if (revents & (POLLERR | POLLHUP)) {
    std::cerr << ext::header(this) << "auth server socket error." << std::endl;
    return closeListener();
  }
  if (!(revents & POLLIN)) return;
  INet4::Addr peer;
  socklen_t size = INet4::Addr::size();
  Fd connection(::accept4(listener.get(), peer.sa(), &size, SOCK_CLOEXEC));
  if (!connection) {
    if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
      std::cerr << ext::header(this) << "can't accept auth connection: " << std::strerror(errno) << ", retrying in 1 s"
                << std::endl;
      listenerEvent.set_mask(0);
      acceptResume.set(1000, &ModemFactory::OnAcceptResume, this);
    }
    return;
  }
  if (!connection.NonBlock()) {
    std::cerr << ext::header(this) << "fail to set nonblock mode." << std::endl;
    return;
  }
  auto* client = new AuthClient(std::move(connection), peer, *this);
  clients.push_back(client);
  client->Activate();
  std::clog << ext::header(this) << "incoming auth connection from " << peer << std::endl;
}

void ModemFactory::OnAcceptResume() { listenerEvent.set_mask(POLLIN); }

void ModemFactory::OnAuth(const attr& record) {
  for (ModemSlot* slot : modemSlots) {
    if (slot->EqAuthId(record.session())) return slot->OnAuth(record);
  }
  std::cerr << ext::header(this) << "receive auth request for unknown session " << record.session() << std::endl;
}

void ModemFactory::SendAuth(const attr& record) {
  for (AuthClient* client : clients) {
    if (client->session() == record.session()) {
      client->Send(record);
      return;
    }
  }
  std::clog << ext::header(this) << "send error: unknown auth " << record.session() << " session." << std::endl;
}

void ModemFactory::OnAuthSocketDisconnect(AuthClient* client) {
  std::clog << ext::header(this) << "auth client " << client->peer() << " disconnected." << std::endl;
  clients.remove(client);
  delete client;
}
