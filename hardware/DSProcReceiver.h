#pragma once
// What a slot offers the DSP receiver service: its timeslot and the hooks
// that receive the DSP functions' events, already decoded from the device's
// records. Slots with DSP processing derive from it beside Slot.
//
// The receiver keeps, per DSP function, whether it is on (or not known yet)
// and the id its last enable gave the driver, and whether it changed the
// delays or the receive gain, so that its clean-up undoes exactly that.
// Every operation returns true when the device took the request.

#include <cstdint>

#include "asn1/modules/LGCP.h"
#include "board/dev/Dsp.h"
#include "hardware/CyclicList.h"

namespace Hardware {

class DSProcReceiverService;

class DSProcReceiver {
public:
  // A function's state: not known yet, off or on.
  static constexpr int Unknown = -1;
  static constexpr int Off = 0;
  static constexpr int On = 1;

  struct Function {
    int state;
    uint32_t id;
  };

  DSProcReceiver();
  DSProcReceiver(const DSProcReceiver&) = delete;
  DSProcReceiver& operator=(const DSProcReceiver&) = delete;
  virtual ~DSProcReceiver();

  virtual void dsproc_vad_event(const Board::Dev::Dsp::VadReport& event) = 0;
  virtual void dsproc_bss_event(const Board::Dev::Dsp::BssReport* event) = 0;
  virtual void dsproc_sd_event(const Board::Dev::Dsp::SdReport& event) = 0;
  virtual void dsproc_tone_flt_event(const Board::Dev::Dsp::ToneReport* event) = 0;
  virtual void dsproc_flags_event(const Board::Dev::Dsp::FlagsReport* event) = 0;
  virtual unsigned dsproc_timeslot() const = 0;

  bool configureVAD(const LGCP::VADParams& params);
  bool enableVAD(bool on);
  bool disableVAD();
  bool enableBSS(bool on);
  bool disableBSS();
  bool enableNG(bool on);
  bool disableNG();
  bool enableSelcalSh(bool on);
  bool disableSelcalSh();
  bool configureSD();
  bool enableSD(bool on);
  bool disableSD();
  bool enableMute(bool rx, bool tx);
  bool disableMute();
  bool configureDelays(unsigned rx, unsigned tx, unsigned selcal);
  bool configureRxGain(signed char gainDB);
  bool configureToneFilter(unsigned freq, unsigned enable, int durationMs, int levelDB);
  bool disableToneAll();

  // Switches off what this receiver switched on; the slot's destructor calls it.
  void CleanBeforeDestroy();

  const Function& vad() const { return vadFunction; }
  const Function& bss() const { return bssFunction; }
  const Function& ng() const { return ngFunction; }
  const Function& selcalSh() const { return selcalShFunction; }
  const Function& sd() const { return sdFunction; }
  int muteRx() const { return muteRxState; }
  int muteTx() const { return muteTxState; }
  uint32_t muteId() const { return mute_id; }
  bool delaysSet() const { return delays_set; }
  bool rxGainSet() const { return rx_gain_set; }

private:
  friend class DSProcReceiverService;

  Function vadFunction{Unknown, 0};
  Function bssFunction{Off, 0};
  Function ngFunction{Off, 0};
  Function selcalShFunction{Off, 0};
  Function sdFunction{Unknown, 0};
  int muteRxState = Unknown;
  int muteTxState = Unknown;
  uint32_t mute_id = 0;
  bool delays_set = false;
  bool rx_gain_set = false;
  Containers::CyclicList<DSProcReceiver>::Node node;
};

}  // namespace Hardware
