#pragma once
// A digital modem: a point-to-point generic-HDLC network interface of the
// board ("hdlc" and a number), switched to PPP for the call and back to HDLC,
// down, when the slot goes. The interface's settings give its TDM channel.

#include <string>

#include "media/ModemSlot.h"

class HdlcModemSlot : public ModemSlot {
public:
  HdlcModemSlot(ModemFactory& factory, const TERM::ModemParams& params, std::string interface);
  ~HdlcModemSlot() override;

  void IAfterCreate() override {}
  bool IOnOutputStream() override;
  bool IOnInputStream() override;
  int IGetTransmitChannel() override { return channel; }
  int IGetReceiveChannel() override { return channel; }
  const char* GetName() const override { return "digital-modem"; }
  int modem_id() const override { return -1; }
  void unbind() override;

  // Reads the channel, switches the interface to PPP and runs the PPP daemon on it, unless a child runs.
  void initModem();
  const std::string& interfaceName() const { return interface; }

private:
  // One SIOCWANDEV request with a settings buffer; false (logged) when it fails.
  bool wanRequest(int socket, uint32_t type, void* buffer, size_t size, const char* failure);

  int channel = -1;
  const std::string interface;
};
