#include "hardware/TonecReceiverService.h"

#include <fcntl.h>
#include <poll.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

#include "board/Board.h"
#include "board/Record.h"
#include "hardware/DevicePaths.h"

namespace Hardware {

namespace {

// Record offsets; every request record starts with the timeslot.
enum : size_t { TimeslotAt = 0 };
enum : size_t { TwistAt = 4, RatioAt = 8, SilenceAt = 12, NoiseAt = 16, ConfigureSize = 20 };
enum : size_t { IdAt = 4, EnableSize = 8 };
enum : size_t { Freq1At = 4, Freq2At = 6, Amp1At = 8, Amp2At = 10, ToneSize = 12 };
enum : size_t { LevelAt = 4, IvaSize = 8 };
enum : size_t { AmplitudeAt = 4, SignsAt = 6, SelcalSize = 12 };
enum : size_t { EventCodeAt = 0, EventTimeslotAt = 4, EventTimestampAt = 8, EventIdAt = 12 };

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
                                       TonecReceiverService::EventSize};

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
  uint8_t record[ConfigureSize] = {};
  Board::RecordWriter out(record, sizeof record);
  out.u32(TimeslotAt, timeslot);
  out.u32(TwistAt, twist);
  out.u32(RatioAt, ratio);
  out.u32(SilenceAt, silence);
  out.u32(NoiseAt, noise);
  if (Board::ioctl(device.get(), ConfigureDetectorRequest, record) < 0) {
    failed("DTMF_CONFIGURE_DETECTOR", timeslot, errno);
    return false;
  }
  std::clog << "DTMF_CONFIGURE_DETECTOR" << " ts=" << timeslot << " twist=" << twist << " ratio=" << ratio
            << " noise=" << noise << " silence=" << silence << std::endl;
  return true;
}

bool TonecReceiverService::onOff(const char* name, const char* onName, const char* offName,
                                 unsigned long onRequest, unsigned long offRequest, unsigned timeslot, bool on) {
  const std::string what = std::string(name) + (on ? onName : offName);
  if (byValue(on ? onRequest : offRequest, timeslot) < 0) {
    failed(what.c_str(), timeslot, errno);
    return false;
  }
  std::clog << what << "[" << timeslot << "] ok" << std::endl;
  return true;
}

bool TonecReceiverService::echoCancel(unsigned timeslot, bool on) {
  return onOff("CHANNEL_LMS", "_ON", "_OFF", EchoCancelOnRequest, EchoCancelOffRequest, timeslot, on);
}

bool TonecReceiverService::enableDTMFReject(unsigned timeslot, bool on) {
  return onOff("DTMF_REJECTION", "_ENABLE", "_DISABLE", RejectionOnRequest, RejectionOffRequest, timeslot, on);
}

bool TonecReceiverService::enableIVA(TonecReceiver& receiver, bool on) {
  if (!onOff("IVA_DETECTOR", "_ENABLE", "_DISABLE", IvaOnRequest, IvaOffRequest, receiver.tonec_timeslot(), on)) {
    return false;
  }
  receiver.ivaEnabled = on;
  return true;
}

bool TonecReceiverService::enableDTMF(TonecReceiver& receiver, bool on) {
  const unsigned timeslot = receiver.tonec_timeslot();
  if (receiver.dtmfEnabled == on) return true;
  if (!on) {
    if (byValue(DisableDetectorRequest, timeslot) < 0) {
      failed("DTMF_DISABLE_DETECTOR", timeslot, errno);
      return false;
    }
    receiver.dtmfEnabled = false;
    std::cerr << "DTMF_DISABLE_DETECTOR done:" << " timeslot=" << timeslot << std::endl;
    return true;
  }
  const uint32_t id = detectorIds.next();
  uint8_t record[EnableSize] = {};
  Board::RecordWriter out(record, sizeof record);
  out.u32(TimeslotAt, timeslot);
  out.u32(IdAt, id);
  if (Board::ioctl(device.get(), EnableDetectorRequest, record) < 0) {
    std::cerr << "DTMF_ENABLE_DETECTOR fail:" << " timeslot=" << timeslot << " id=" << id << " errno=\""
              << std::strerror(errno) << "\"" << std::endl;
    return false;
  }
  receiver.detector_id = id;
  receiver.dtmfEnabled = true;
  std::cerr << "DTMF_ENABLE_DETECTOR done:" << " timeslot=" << timeslot << " id=" << id << std::endl;
  return true;
}

bool TonecReceiverService::enableToneGenerator(unsigned timeslot, unsigned short freq1, unsigned short freq2,
                                               unsigned short amp1, unsigned short amp2) {
  uint8_t record[ToneSize] = {};
  Board::RecordWriter out(record, sizeof record);
  out.u32(TimeslotAt, timeslot);
  out.u16(Freq1At, freq1);
  out.u16(Freq2At, freq2);
  out.u16(Amp1At, amp1);
  out.u16(Amp2At, amp2);
  if (Board::ioctl(device.get(), ToneGeneratorRequest, record) < 0) {
    failed("DTMF_DIAL", timeslot, errno);
    return false;
  }
  return true;
}

bool TonecReceiverService::configureIVA(TonecReceiver& receiver, const LGCP::IVAParams& params) {
  const unsigned timeslot = receiver.tonec_timeslot();
  if (!opened("configure IVA", timeslot)) return false;
  const int level = params.get_det_lvl_dB().getValue();
  uint8_t record[IvaSize] = {};
  Board::RecordWriter out(record, sizeof record);
  out.u32(TimeslotAt, timeslot);
  out.u32(LevelAt, uint32_t(level));
  if (Board::ioctl(device.get(), ConfigureIvaRequest, record) < 0) {
    failed("IVA_CONFIGURE_DETECTOR", timeslot, errno);
    return false;
  }
  std::clog << "IVA_CONFIGURE_DETECTOR" << " ts=" << timeslot << " det_lvl_dB=" << level << std::endl;
  return true;
}

bool TonecReceiverService::translateSelcal(TonecReceiver& receiver, const TERM::SelcalCommand& command) {
  const unsigned timeslot = receiver.tonec_timeslot();
  const std::string& signs = command.get_signs().getValue();
  if (signs.size() < SelcalSigns) {
    std::cerr << "SELCAL_DIAL fail:" << " timeslot=" << timeslot << " incorect signs:" << signs << std::endl;
    return false;
  }
  const uint16_t amplitude = command.hasOptionalField(TERM::SelcalCommand::o_amp)
                                 ? uint16_t(command.get_amp().getValue())
                                 : DefaultSelcalAmplitude;
  uint8_t record[SelcalSize] = {};
  Board::RecordWriter out(record, sizeof record);
  out.u32(TimeslotAt, timeslot);
  out.u16(AmplitudeAt, amplitude);
  for (size_t i = 0; i < SelcalSigns; ++i) out.u8(SignsAt + i, uint8_t(signs[i]));
  if (Board::ioctl(device.get(), SelcalDialRequest, record) < 0) {
    failed("SELCAL_DIAL", timeslot, errno);
    return false;
  }
  return true;
}

void TonecReceiverService::onRecord(Board::RecordReader& in) {
  dispatch(in.u32(EventCodeAt), in.u32(EventTimeslotAt), in.u32(EventTimestampAt), in.u32(EventIdAt));
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
      receiver.tonec_event(TonecReceiver::Params{code, timestamp});
    }
    return;
  }
  std::cerr << "receive tonec event from unknown timeslot " << timeslot << std::endl;
}

}  // namespace Hardware
