#pragma once
// A fixed pair of switch channels (8192 + n) of the BRI extension board.
// It transmits from creation on and receives only while activated.

#include "asn1/modules/LGCP.h"
#include "server/slot/Slot.h"
#include "server/slot/SlotFactory.h"

class ExtSlot : public Slot {
public:
  ExtSlot(int tx, int rx) : tx(tx), rx(rx) {}

  void IAfterCreate() override { OnChangeOutputStream(true); }
  bool IBeforeDestroy() override;
  bool IActivate(const TERM::TermActivateParams&) override;
  bool IDeactivate() override;
  bool IOnOutputStream() override { return true; }
  bool IOnInputStream() override { return IsInputActive(); }
  int IGetTransmitChannel() override { return tx; }
  int IGetReceiveChannel() override { return rx; }
  const char* GetName() const override { return "bri"; }

private:
  int tx;
  int rx;
};

class ExtFactory : public SlotFactory {
public:
  static constexpr int FirstChannel = 8192;
  static constexpr int Channels = 2048;

  static ExtFactory& instance();

  const char* GetName() const override { return "Ext"; }
  // Takes every ext request whose two numbers give bus channels.
  Slot* INewSlot(const LGCP::CreateParams& params) override;

private:
  ExtFactory() = default;
};
