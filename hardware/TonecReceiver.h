#pragma once
// What a slot offers the tone receiver service: the timeslot it listens and
// dials on, and the hooks that receive the detector's events. Slots with
// tone detection or generation derive from it beside Slot.
//
// The receiver keeps the per-timeslot state the service needs (which
// detectors it has switched on, the id of its DTMF detector) and runs the
// timed tone sequences on one timer: the ring-back cadence and the dialling
// of DTMF digits. Every operation returns true when the device took the
// request.

#include <cstdint>

#include "asn1/modules/LGCP.h"
#include "asn1/modules/TERM.h"
#include "board/dev/Dtmf.h"
#include "foundation/eventloop/Timer.h"
#include "hardware/CyclicList.h"

namespace Hardware {

class TonecReceiverService;

class TonecReceiver {
public:
  // Ring-back: 425 Hz for a second, then three seconds of silence.
  static constexpr uint16_t RingBackFrequency = 425;
  static constexpr uint16_t RingBackAmplitude = 2048;
  static constexpr unsigned RingBackToneMs = 1000;
  static constexpr unsigned RingBackPauseMs = 3000;
  // Digit dialling where the request leaves values out.
  static constexpr uint16_t DefaultDigitAmplitude = 16384;
  static constexpr unsigned DefaultDigitMs = 70;
  // What the generator plays as silence.
  static constexpr uint16_t SilenceFrequency = 1000;

  TonecReceiver();
  TonecReceiver(const TonecReceiver&) = delete;
  TonecReceiver& operator=(const TonecReceiver&) = delete;
  virtual ~TonecReceiver();

  // One detector event for the receiver's timeslot.
  virtual void tonec_event(const Board::Dev::Dtmf::EventReport& event) = 0;
  virtual unsigned tonec_timeslot() const = 0;
  // A DTMF digit sequence has been played out.
  virtual void tone_gen_complete() {}

  bool configureDTMF(const LGCP::DTMFParams& params);
  bool configureIVA(const LGCP::IVAParams& params);
  bool enableDTMF(bool on);
  bool disableDTMF();
  bool enableIVA(bool on);
  bool enableDTMFReject(bool on);
  bool echoCancel(bool on);

  bool enableToneGenerator(unsigned short freq1, unsigned short freq2, unsigned short amp1, unsigned short amp2);
  bool enableSilence();
  // Without force, only a playing digit sequence is stopped (false when none plays).
  bool disableToneGenerator(bool force);
  // The ring-back cadence, from its tone step, whatever played before.
  bool activateAudibleCall();
  // Stops the ring-back; a playing digit sequence is left alone.
  bool cancelAudibleCall();
  // Plays the digits; while a sequence plays, its remaining digits are replaced.
  bool translateDTMF(const LGCP::TranslateDtmfParams& params);
  bool translateSelcal(const TERM::SelcalCommand& command);

  // Switches off what this receiver switched on; the slot's destructor calls it.
  void CleanBeforeDestroy();

  // The driver reports events for this receiver (a DTMF or IVA detector is on).
  bool eventsOn() const { return dtmfEnabled || ivaEnabled; }
  bool isDTMFEnabled() const { return dtmfEnabled; }
  bool isIVAEnabled() const { return ivaEnabled; }
  bool isDTMFRejectEnabled() const { return rejectEnabled; }
  // A digit sequence is playing.
  bool isBusy() const { return busy; }
  uint32_t detectorId() const { return detector_id; }

private:
  friend class TonecReceiverService;

  bool ringBackTone();
  void on_waitToneFinish(Timer*);
  void on_waitPauseFinish(Timer*);
  void on_DTMFPauseFinish(Timer*);
  void on_DTMFToneFinish(Timer*);

  Timer toneTimer;
  bool busy = false;
  uint32_t detector_id = 0;
  LGCP::TranslateDtmfParams digits;
  Containers::CyclicList<TonecReceiver>::Node node;
  bool ivaEnabled = false;
  bool dtmfEnabled = false;
  bool rejectEnabled = false;
};

}  // namespace Hardware
