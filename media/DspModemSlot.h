#pragma once
// A modem slot on one of the board's DSP modems, allocated on "/dev/mctl"
// by the first stream request. Data calls run the PPP daemon on the modem's
// data device; fax calls run the fax transfer program (watched: its exit
// code is the page count) or the fax receiver (not watched).

#include "foundation/os/Fd.h"
#include "media/ModemSlot.h"

class DspModemSlot : public ModemSlot {
public:
  DspModemSlot(ModemFactory& factory, const TERM::ModemParams& params);
  // Closing the control descriptor frees the modem.
  ~DspModemSlot() override;

  void IAfterCreate() override {}
  bool IOnOutputStream() override;
  bool IOnInputStream() override;
  int IGetTransmitChannel() override { return channel; }
  int IGetReceiveChannel() override { return channel; }
  const char* GetName() const override { return "dsp-modem"; }
  int modem_id() const override { return modem; }
  void unbind() override;

  // Allocates the modem and starts the call; nothing once a modem is held.
  void InitModem();

private:
  // Sets the data modes and DSP parameters of the allocated modem; false when the call cannot go on.
  bool configure(const Fd& control, int number);
  void startCall();
  void startFaxTransfer();
  void RunFaxReceiver();
  void on_fax_terminate(int status);
  // A start that aborts leaves the slot idle, its modem freed.
  void abortStart(const char* what);

  Fd control;
  int channel = -1;
  int modem = -1;
};
