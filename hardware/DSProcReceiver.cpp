#include "hardware/DSProcReceiver.h"

#include "hardware/DSProcReceiverService.h"

namespace Hardware {

namespace {

DSProcReceiverService& service() { return DSProcReceiverService::instance(); }

}  // namespace

DSProcReceiver::DSProcReceiver() : node(this) { service().receivers().push_back(node); }

DSProcReceiver::~DSProcReceiver() = default;

bool DSProcReceiver::configureVAD(const LGCP::VADParams& params) {
  return service().configureVAD(dsproc_timeslot(), params);
}

bool DSProcReceiver::enableVAD(bool on) { return service().enableVAD(*this, on); }

bool DSProcReceiver::disableVAD() { return service().enableVAD(*this, false); }

bool DSProcReceiver::enableBSS(bool on) { return service().enableBSS(*this, on); }

bool DSProcReceiver::disableBSS() { return service().enableBSS(*this, false); }

bool DSProcReceiver::enableNG(bool on) { return service().enableNG(*this, on); }

bool DSProcReceiver::disableNG() { return service().enableNG(*this, false); }

bool DSProcReceiver::enableSelcalSh(bool on) { return service().enableSelcalSh(*this, on); }

bool DSProcReceiver::disableSelcalSh() { return service().enableSelcalSh(*this, false); }

bool DSProcReceiver::configureSD() { return service().configureSD(dsproc_timeslot()); }

bool DSProcReceiver::enableSD(bool on) { return service().enableSD(*this, on); }

bool DSProcReceiver::disableSD() { return service().enableSD(*this, false); }

bool DSProcReceiver::enableMute(bool rx, bool tx) { return service().enableMute(*this, rx, tx); }

bool DSProcReceiver::disableMute() { return service().enableMute(*this, false, false); }

bool DSProcReceiver::configureDelays(unsigned rx, unsigned tx, unsigned selcal) {
  delays_set = rx || tx || selcal;
  return service().configureDelays(dsproc_timeslot(), rx, tx, selcal);
}

bool DSProcReceiver::configureRxGain(signed char gainDB) {
  rx_gain_set = gainDB != 0;
  return service().configureRxGain(dsproc_timeslot(), gainDB);
}

bool DSProcReceiver::configureToneFilter(unsigned freq, unsigned enable, int durationMs, int levelDB) {
  return service().configureToneFilter(dsproc_timeslot(), freq, enable, durationMs, levelDB);
}

bool DSProcReceiver::disableToneAll() { return service().disableToneAll(*this); }

void DSProcReceiver::CleanBeforeDestroy() {
  if (vadFunction.state == On) disableVAD();
  if (bssFunction.state == On) disableBSS();
  if (ngFunction.state == On) disableNG();
  if (selcalShFunction.state == On) disableSelcalSh();
  if (delays_set) configureDelays(0, 0, 0);
  if (rx_gain_set) configureRxGain(0);
  disableToneAll();
}

}  // namespace Hardware
