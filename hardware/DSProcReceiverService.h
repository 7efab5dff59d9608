#pragma once
// The one owner of the DSP processing driver "/dev/dsp": it issues the
// requests of every DSP receiver, reads the driver's events and hands each
// to the receiver of its timeslot (the oldest one, when two share a
// timeslot). VAD and SD events of a function that is off, or with an id
// older than its last enable, are stale and dropped; BSS events need the
// function on; tone-filter and flag events always pass.

#include <cstdint>
#include <string>

#include "asn1/modules/LGCP.h"
#include "board/dev/Dsp.h"
#include "hardware/CyclicList.h"
#include "hardware/DSProcReceiver.h"
#include "hardware/DetectorIds.h"
#include "hardware/EventDevice.h"

namespace Hardware {

class DSProcReceiverService : public EventDevice {
public:
  // Built on first use, which opens the device.
  static DSProcReceiverService& instance();

  bool configureVAD(unsigned timeslot, const LGCP::VADParams& params);
  bool enableVAD(DSProcReceiver& receiver, bool on);
  bool enableBSS(DSProcReceiver& receiver, bool on);
  bool enableNG(DSProcReceiver& receiver, bool on);
  bool enableSelcalSh(DSProcReceiver& receiver, bool on);
  bool enableSD(DSProcReceiver& receiver, bool on);
  bool enableMute(DSProcReceiver& receiver, bool rx, bool tx);
  bool configureSD(unsigned timeslot);
  bool configureDelays(unsigned timeslot, unsigned rx, unsigned tx, unsigned selcal);
  bool configureRxGain(unsigned timeslot, signed char gainDB);
  bool configureToneFilter(unsigned timeslot, unsigned freq, unsigned enable, int durationMs, int levelDB);
  bool disableToneAll(DSProcReceiver& receiver);

  // Every live receiver, oldest first.
  Containers::CyclicList<DSProcReceiver>& receivers() { return list; }
  DetectorIds& ids() { return detectorIds; }

private:
  struct FunctionSpec;
  static const FunctionSpec vadSpec, bssSpec, ngSpec, selcalShSpec, sdSpec;
  using ConfigureRecord = uint8_t[Board::Dev::Dsp::Configure::Size];

  DSProcReceiverService();
  // A configure record with its timeslot and function, the parameters zero.
  static void start(ConfigureRecord& record, unsigned timeslot, uint32_t function);
  bool enable(const FunctionSpec& spec, DSProcReceiver& receiver, bool on);
  // Enable {timeslot, id, mask} or disable {timeslot, 0, mask}; the ioctl result.
  int switchFunctions(unsigned long request, unsigned timeslot, uint32_t id, uint32_t mask);
  void onRecord(Board::RecordReader& in) override;
  void forgetDetectors() override;
  void dispatch(uint32_t timeslot, uint32_t id, uint32_t type, uint32_t a, uint32_t b, uint32_t c);

  DetectorIds detectorIds;
  Containers::CyclicList<DSProcReceiver> list;
};

}  // namespace Hardware
