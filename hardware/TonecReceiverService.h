#pragma once
// The one owner of the tone DSP driver "/dev/dtmf": it issues the requests
// of every tone receiver, reads the driver's events and hands each to the
// receiver of its timeslot (the oldest one, when two share a timeslot).
// Events of a receiver whose detectors are off, or with an id older than
// its last DTMF enable, are stale and dropped.

#include <cstdint>
#include <string>

#include "asn1/modules/LGCP.h"
#include "asn1/modules/TERM.h"
#include "board/dev/Dtmf.h"
#include "hardware/CyclicList.h"
#include "hardware/DetectorIds.h"
#include "hardware/EventDevice.h"
#include "hardware/TonecReceiver.h"

namespace Hardware {

class TonecReceiverService : public EventDevice {
public:
  static constexpr uint16_t DefaultSelcalAmplitude = 12000;

  // Built on first use, which opens the device.
  static TonecReceiverService& instance();

  bool configureDTMF(unsigned timeslot, const LGCP::DTMFParams& params);
  bool echoCancel(unsigned timeslot, bool on);
  bool enableDTMFReject(unsigned timeslot, bool on);
  bool enableDTMF(TonecReceiver& receiver, bool on);
  bool enableToneGenerator(unsigned timeslot, unsigned short freq1, unsigned short freq2, unsigned short amp1,
                           unsigned short amp2);
  bool configureIVA(TonecReceiver& receiver, const LGCP::IVAParams& params);
  bool enableIVA(TonecReceiver& receiver, bool on);
  bool translateSelcal(TonecReceiver& receiver, const TERM::SelcalCommand& command);

  // Every live receiver, oldest first.
  Containers::CyclicList<TonecReceiver>& receivers() { return list; }
  DetectorIds& ids() { return detectorIds; }

private:
  TonecReceiverService();
  // An ioctl whose argument is the timeslot itself.
  int byValue(unsigned long request, unsigned timeslot);
  // A switch request that logs in the "<name>[ts] ok" form.
  bool onOff(const char* name, const char* onName, const char* offName, unsigned long onRequest,
             unsigned long offRequest, unsigned timeslot, bool on);
  void onRecord(Board::RecordReader& in) override;
  void forgetDetectors() override;
  void dispatch(uint32_t code, uint32_t timeslot, uint32_t timestamp, uint32_t id);

  DetectorIds detectorIds;
  Containers::CyclicList<TonecReceiver> list;
};

}  // namespace Hardware
