#include "hardware/TonecReceiverService.h"

#include <fcntl.h>
#include <poll.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

#include "board/Board.h"
#include "board/DevicePaths.h"
#include "board/Record.h"

namespace Hardware {

namespace {

namespace Tonec = Board::Dev::Dtmf;

// " timestamp=... timeslot=... code=... id=...", as every event line shows a record.
std::string fields(uint32_t code, uint32_t timeslot, uint32_t timestamp, uint32_t id) {
  std::ostringstream text;
  text << " timestamp=" << timestamp << " timeslot=" << timeslot << " code=" << code << " id=" << id;
  return text.str();
}

}  // namespace

TonecReceiverService& TonecReceiverService::instance() {
  static TonecReceiverService service;
  return service;
}

const EventDevice::Spec tonecDevice = {GetDTMFDevName,
                                       O_RDONLY | O_NONBLOCK | O_CLOEXEC,
                                       "TonecReceiverService::OnEvent",
                                       "tonec",
                                       "open tonec fail, DTMF proceeding disabled: ",
                                       Tonec::Event::Size};

TonecReceiverService::TonecReceiverService() : EventDevice(tonecDevice) { init(); }

int TonecReceiverService::byValue(unsigned long request, unsigned timeslot) {
  return Board::ioctlValue(device.get(), request, timeslot);
}

bool TonecReceiverService::configureDTMF(unsigned timeslot, const LGCP::DTMFParams& params) {
  if (!opened("configure DTMF", timeslot)) return false;
  const unsigned twist = params.get_threshold().get_twist().getValue();
  const unsigned ratio = params.get_threshold().get_ratio().getValue();
  const unsigned noise = params.get_threshold().get_noise().getValue();
  const unsigned silence = params.get_level().get_silence().getValue();
  uint8_t record[Tonec::Configure::Size] = {};
  Board::RecordWriter out(record, sizeof record);
  out.put(Tonec::Timeslot, timeslot);
  out.put(Tonec::Configure::Twist, twist);
  out.put(Tonec::Configure::Ratio, ratio);
  out.put(Tonec::Configure::Silence, silence);
  out.put(Tonec::Configure::Noise, noise);
  if (Board::ioctl(device.get(), Tonec::ConfigureDetector, record) < 0) {
    failed("DTMF_CONFIGURE_DETECTOR", timeslot, errno);
    return false;
  }
  std::clog << "DTMF_CONFIGURE_DETECTOR"
            << " ts=" << timeslot << " twist=" << twist << " ratio=" << ratio << " noise=" << noise
            << " silence=" << silence << std::endl;
  return true;
}

bool TonecReceiverService::onOff(const char* name, const char* onName, const char* offName, unsigned long onRequest,
                                 unsigned long offRequest, unsigned timeslot, bool on) {
  const std::string what = std::string(name) + (on ? onName : offName);
  if (byValue(on ? onRequest : offRequest, timeslot) < 0) {
    failed(what.c_str(), timeslot, errno);
    return false;
  }
  std::clog << what << "[" << timeslot << "] ok" << std::endl;
  return true;
}

bool TonecReceiverService::echoCancel(unsigned timeslot, bool on) {
  return onOff("CHANNEL_LMS", "_ON", "_OFF", Tonec::EchoCancelOn, Tonec::EchoCancelOff, timeslot, on);
}

bool TonecReceiverService::enableDTMFReject(unsigned timeslot, bool on) {
  return onOff("DTMF_REJECTION", "_ENABLE", "_DISABLE", Tonec::RejectionOn, Tonec::RejectionOff, timeslot, on);
}

bool TonecReceiverService::enableIVA(TonecReceiver& receiver, bool on) {
  if (!onOff("IVA_DETECTOR", "_ENABLE", "_DISABLE", Tonec::IvaOn, Tonec::IvaOff, receiver.tonec_timeslot(), on)) {
    return false;
  }
  receiver.ivaEnabled = on;
  return true;
}

bool TonecReceiverService::enableDTMF(TonecReceiver& receiver, bool on) {
  const unsigned timeslot = receiver.tonec_timeslot();
  if (receiver.dtmfEnabled == on) return true;
  if (!on) {
    if (byValue(Tonec::DisableDetector, timeslot) < 0) {
      failed("DTMF_DISABLE_DETECTOR", timeslot, errno);
      return false;
    }
    receiver.dtmfEnabled = false;
    std::cerr << "DTMF_DISABLE_DETECTOR done:"
              << " timeslot=" << timeslot << std::endl;
    return true;
  }
  const uint32_t id = detectorIds.next();
  uint8_t record[Tonec::Enable::Size] = {};
  Board::RecordWriter out(record, sizeof record);
  out.put(Tonec::Timeslot, timeslot);
  out.put(Tonec::Enable::Id, id);
  if (Board::ioctl(device.get(), Tonec::EnableDetector, record) < 0) {
    std::cerr << "DTMF_ENABLE_DETECTOR fail:"
              << " timeslot=" << timeslot << " id=" << id << " errno=\"" << std::strerror(errno) << "\"" << std::endl;
    return false;
  }
  receiver.detector_id = id;
  receiver.dtmfEnabled = true;
  std::cerr << "DTMF_ENABLE_DETECTOR done:"
            << " timeslot=" << timeslot << " id=" << id << std::endl;
  return true;
}

bool TonecReceiverService::enableToneGenerator(unsigned timeslot, unsigned short freq1, unsigned short freq2,
                                               unsigned short amp1, unsigned short amp2) {
  uint8_t record[Tonec::Tone::Size] = {};
  Board::RecordWriter out(record, sizeof record);
  out.put(Tonec::Timeslot, timeslot);
  out.put(Tonec::Tone::Freq1, freq1);
  out.put(Tonec::Tone::Freq2, freq2);
  out.put(Tonec::Tone::Amp1, amp1);
  out.put(Tonec::Tone::Amp2, amp2);
  if (Board::ioctl(device.get(), Tonec::ToneGenerator, record) < 0) {
    failed("DTMF_DIAL", timeslot, errno);
    return false;
  }
  return true;
}

bool TonecReceiverService::configureIVA(TonecReceiver& receiver, const LGCP::IVAParams& params) {
  const unsigned timeslot = receiver.tonec_timeslot();
  if (!opened("configure IVA", timeslot)) return false;
  const int level = params.get_det_lvl_dB().getValue();
  uint8_t record[Tonec::Iva::Size] = {};
  Board::RecordWriter out(record, sizeof record);
  out.put(Tonec::Timeslot, timeslot);
  out.put(Tonec::Iva::Level, level);
  if (Board::ioctl(device.get(), Tonec::ConfigureIva, record) < 0) {
    failed("IVA_CONFIGURE_DETECTOR", timeslot, errno);
    return false;
  }
  std::clog << "IVA_CONFIGURE_DETECTOR"
            << " ts=" << timeslot << " det_lvl_dB=" << level << std::endl;
  return true;
}

bool TonecReceiverService::translateSelcal(TonecReceiver& receiver, const TERM::SelcalCommand& command) {
  const unsigned timeslot = receiver.tonec_timeslot();
  const std::string& signs = command.get_signs().getValue();
  if (signs.size() < Tonec::Selcal::SignCount) {
    std::cerr << "SELCAL_DIAL fail:"
              << " timeslot=" << timeslot << " incorect signs:" << signs << std::endl;
    return false;
  }
  const uint16_t amplitude = command.hasOptionalField(TERM::SelcalCommand::o_amp)
                                 ? uint16_t(command.get_amp().getValue())
                                 : DefaultSelcalAmplitude;
  uint8_t record[Tonec::Selcal::Size] = {};
  Board::RecordWriter out(record, sizeof record);
  out.put(Tonec::Timeslot, timeslot);
  out.put(Tonec::Selcal::Amplitude, amplitude);
  out.bytes(Tonec::Selcal::Signs, signs.data());
  if (Board::ioctl(device.get(), Tonec::SelcalDial, record) < 0) {
    failed("SELCAL_DIAL", timeslot, errno);
    return false;
  }
  return true;
}

void TonecReceiverService::onRecord(Board::RecordReader& in) {
  dispatch(in.get(Tonec::Event::Code), in.get(Tonec::Event::Timeslot), in.get(Tonec::Event::Timestamp),
           in.get(Tonec::Event::Id));
}

// An enable after the loss must reach the driver, not be taken as done already.
void TonecReceiverService::forgetDetectors() {
  for (TonecReceiver& receiver : list) receiver.dtmfEnabled = receiver.ivaEnabled = receiver.rejectEnabled = false;
}

void TonecReceiverService::dispatch(uint32_t code, uint32_t timeslot, uint32_t timestamp, uint32_t id) {
  const std::string record = fields(code, timeslot, timestamp, id);
  std::clog << "dtmf event: " << record << std::endl;
  for (TonecReceiver& receiver : list) {
    if (receiver.tonec_timeslot() != timeslot) continue;
    if (!receiver.eventsOn()) {
      std::clog << "ignore spurious dtmf event (DTMF disabled): " << record << std::endl;
    } else if (receiver.detector_id != id) {
      std::clog << "ignore spurious dtmf event: " << record << " rid=" << receiver.detector_id << std::endl;
    } else {
      receiver.tonec_event(Board::Dev::Dtmf::EventReport{code, timestamp});
    }
    return;
  }
  std::cerr << "receive tonec event from unknown timeslot " << timeslot << std::endl;
}

}  // namespace Hardware
