#pragma once
// The factory of modem slots and the PPP authentication proxy. A create
// with digital data modes takes a free digital modem (a generic-HDLC
// interface) when there is one, else a DSP modem. The proxy listens on
// 127.0.0.1 for the PPP daemons' authentication plug-ins and routes their
// records by session: the DSP modem's number, -1 for a digital modem.

#include <iosfwd>
#include <list>
#include <string>

#include "asn1/modules/LGCP.h"
#include "foundation/eventloop/Event.h"
#include "foundation/eventloop/Timer.h"
#include "foundation/os/Fd.h"
#include "server/slot/SlotFactory.h"

class AuthClient;
class DspModemSlot;
class HdlcModemSlot;
class ModemSlot;
class attr;

class ModemFactory : public SlotFactory {
public:
  static constexpr int ListenBacklog = 64;

  static ModemFactory& instance();

  const char* GetName() const override { return "Modem"; }
  Slot* INewSlot(const LGCP::CreateParams& params) override;
  // Rescans, then reports the DSP modems and the free digital modems.
  void Query(LGCP::Resources& resources) override;

  // Counts the DSP modems and rebuilds the list of free digital modems.
  void IQuery();
  void ReleaseModemSlot(DspModemSlot* slot);
  // Its interface becomes free again.
  void ReleaseModemSlot(HdlcModemSlot* slot);

  // The authentication proxy.
  void Init();
  void OnSocketEvent(int fd, short revents);
  void OnAcceptResume();
  // A complete record from a plug-in goes to the slot of its session.
  void OnAuth(const attr& record);
  // A record to the plug-in whose session it names.
  void SendAuth(const attr& record);
  void OnAuthSocketDisconnect(AuthClient* client);

  // "modem[" DSP modems "," live modem slots "]: "
  void PutHeader(std::ostream& out) const;
  int dspModemCount() const { return dspModems; }
  const std::list<std::string>& freeInterfaces() const { return freeNames; }
  const std::list<AuthClient*>& authClients() const { return clients; }

private:
  ModemFactory();
  ~ModemFactory() override;
  void update_modemDevices();
  void update_hdlcDevices();
  bool interfaceInUse(const std::string& name) const;
  void closeListener();

  std::list<DspModemSlot*> dspSlots;
  std::list<HdlcModemSlot*> hdlcSlots;
  std::list<ModemSlot*> modemSlots;
  int dspModems = 0;
  Fd listener;
  Event listenerEvent;
  // Out of descriptors, the pending connection keeps the listener readable: rest instead of spinning.
  Timer acceptResume;
  std::list<AuthClient*> clients;
  std::list<std::string> freeNames;
};
