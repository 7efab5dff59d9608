#include "hardware/TonecReceiver.h"

#include "hardware/TonecReceiverService.h"

namespace Hardware {

namespace {

TonecReceiverService& service() { return TonecReceiverService::instance(); }

// A duration the controller gave, or the default; a negative one plays at once.
unsigned duration(const LGCP::TranslateDtmfParams& p, unsigned optionalId, const ASN1::INTEGER& value) {
  if (!p.hasOptionalField(optionalId)) return TonecReceiver::DefaultDigitMs;
  return value.getValue() < 0 ? 0 : unsigned(value.getValue());
}

unsigned short amplitude(const LGCP::TranslateDtmfParams& p, unsigned optionalId, const ASN1::INTEGER& value) {
  return p.hasOptionalField(optionalId) ? (unsigned short)(value.getValue()) : TonecReceiver::DefaultDigitAmplitude;
}

}  // namespace

TonecReceiver::TonecReceiver() : node(this) { service().receivers().push_back(node); }

TonecReceiver::~TonecReceiver() = default;

bool TonecReceiver::configureDTMF(const LGCP::DTMFParams& params) {
  return service().configureDTMF(tonec_timeslot(), params);
}

bool TonecReceiver::configureIVA(const LGCP::IVAParams& params) { return service().configureIVA(*this, params); }

bool TonecReceiver::enableDTMF(bool on) { return service().enableDTMF(*this, on); }

bool TonecReceiver::disableDTMF() { return service().enableDTMF(*this, false); }

bool TonecReceiver::enableIVA(bool on) { return service().enableIVA(*this, on); }

bool TonecReceiver::enableDTMFReject(bool on) {
  if (!service().enableDTMFReject(tonec_timeslot(), on)) return false;
  rejectEnabled = on;
  return true;
}

bool TonecReceiver::echoCancel(bool on) { return service().echoCancel(tonec_timeslot(), on); }

bool TonecReceiver::enableToneGenerator(unsigned short freq1, unsigned short freq2, unsigned short amp1,
                                        unsigned short amp2) {
  return service().enableToneGenerator(tonec_timeslot(), freq1, freq2, amp1, amp2);
}

bool TonecReceiver::enableSilence() { return enableToneGenerator(SilenceFrequency, SilenceFrequency, 0, 0); }

bool TonecReceiver::disableToneGenerator(bool force) {
  if (!force && !busy) return false;
  if (busy) {
    toneTimer.reset();
    busy = false;
  }
  return enableToneGenerator(0, 0, 0, 0);
}

bool TonecReceiver::activateAudibleCall() {
  // The cadence takes the timer over: a digit sequence it interrupts is over.
  busy = false;
  digits.get_digits().clear();
  return ringBackTone();
}

bool TonecReceiver::ringBackTone() {
  toneTimer.set(RingBackToneMs, &TonecReceiver::on_waitToneFinish, this);
  return enableToneGenerator(RingBackFrequency, 0, RingBackAmplitude, RingBackAmplitude);
}

void TonecReceiver::on_waitToneFinish(Timer*) {
  toneTimer.set(RingBackPauseMs, &TonecReceiver::on_waitPauseFinish, this);
  enableSilence();
}

void TonecReceiver::on_waitPauseFinish(Timer*) { ringBackTone(); }

bool TonecReceiver::cancelAudibleCall() {
  if (busy) return true;
  toneTimer.reset();
  return enableToneGenerator(0, 0, 0, 0);
}

bool TonecReceiver::translateDTMF(const LGCP::TranslateDtmfParams& params) {
  digits = params;
  if (busy) return true;
  busy = true;
  on_DTMFPauseFinish(nullptr);
  return true;
}

void TonecReceiver::on_DTMFPauseFinish(Timer*) {
  auto& left = digits.get_digits();
  if (left.size() == 0) {
    disableToneGenerator(true);
    tone_gen_complete();
    return;
  }
  const unsigned short freq1 = (unsigned short)(left[0].get_freq1().getValue());
  const unsigned short freq2 = (unsigned short)(left[0].get_freq2().getValue());
  left.erase(left.begin());
  toneTimer.set(duration(digits, LGCP::TranslateDtmfParams::o_toneDuration, digits.get_toneDuration()),
                &TonecReceiver::on_DTMFToneFinish, this);
  enableToneGenerator(freq1, freq2, amplitude(digits, LGCP::TranslateDtmfParams::o_amp1, digits.get_amp1()),
                      amplitude(digits, LGCP::TranslateDtmfParams::o_amp2, digits.get_amp2()));
}

void TonecReceiver::on_DTMFToneFinish(Timer*) {
  toneTimer.set(duration(digits, LGCP::TranslateDtmfParams::o_pauseDuration, digits.get_pauseDuration()),
                &TonecReceiver::on_DTMFPauseFinish, this);
  enableSilence();
}

bool TonecReceiver::translateSelcal(const TERM::SelcalCommand& command) {
  return service().translateSelcal(*this, command);
}

void TonecReceiver::CleanBeforeDestroy() {
  if (dtmfEnabled) disableDTMF();
  if (ivaEnabled) enableIVA(false);
  if (rejectEnabled) enableDTMFReject(false);
}

}  // namespace Hardware
