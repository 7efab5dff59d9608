#include "hardware/DSProcReceiverService.h"

#include <fcntl.h>
#include <poll.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <sstream>

#include "board/Board.h"
#include "board/Record.h"
#include "foundation/config/TraceCtl.h"
#include "foundation/os/Ext.h"
#include "hardware/DevicePaths.h"

namespace Hardware {

// One function of the enable family: its mask, its name in the log lines,
// and where a receiver keeps its state and id.
struct DSProcReceiverService::FunctionSpec {
  uint32_t mask;
  const char* name;
  DSProcReceiver::Function DSProcReceiver::*function;
};

const DSProcReceiverService::FunctionSpec DSProcReceiverService::vadSpec = {VAD, "VAD",
                                                                           &DSProcReceiver::vadFunction};
const DSProcReceiverService::FunctionSpec DSProcReceiverService::bssSpec = {BSS, "BSS",
                                                                           &DSProcReceiver::bssFunction};
const DSProcReceiverService::FunctionSpec DSProcReceiverService::ngSpec = {NG, "NG", &DSProcReceiver::ngFunction};
const DSProcReceiverService::FunctionSpec DSProcReceiverService::selcalShSpec = {
    SelcalSh, "SELCAL_SH", &DSProcReceiver::selcalShFunction};
const DSProcReceiverService::FunctionSpec DSProcReceiverService::sdSpec = {SD, "SD", &DSProcReceiver::sdFunction};

namespace {

// Record offsets: configure {timeslot, function, parameters}, enable and
// disable {timeslot, id, mask}, and the event record.
enum : size_t { TimeslotAt = 0, FunctionAt = 4, ParamsAt = 8 };
enum : size_t { IdAt = 4, MaskAt = 8, SwitchSize = 12 };
enum : size_t { EventTimeslotAt = 0, EventIdAt = 4, EventTypeAt = 8, WordAAt = 12, WordBAt = 16, WordCAt = 20 };
// Parameters by function.
enum : size_t { VoiceAt = 8, SilenceAt = 10, EnergyAt = 12 };
enum : size_t { LegacyWord1At = 8, LegacyWord2At = 12, LegacyWord3At = 16 };
enum : size_t { DelayRxAt = 8, DelayTxAt = 12, DelaySelcalAt = 16 };
enum : size_t { GainAt = 8 };
enum : size_t { FilterFreqAt = 8, FilterEnableAt = 10, FilterDurationAt = 12, FilterLevelAt = 14 };
// What a driver before VAD version 2 is configured with.
constexpr uint32_t LegacyVad[] = {3, 127, 0};
constexpr uint32_t MuteBoth = DSProcReceiverService::MuteRx | DSProcReceiverService::MuteTx;
// VAD event direction bits.
constexpr uint32_t DirectionRx = 0x1;
constexpr uint32_t DirectionTx = 0x2;

std::string fields(uint32_t timeslot, uint32_t id, uint32_t type) {
  std::ostringstream text;
  text << " timeslot=" << timeslot << " id=" << id << " type=" << type;
  return text.str();
}

float scoreOf(uint32_t word) {
  float score;
  std::memcpy(&score, &word, sizeof score);
  return score;
}

}  // namespace

DSProcReceiverService& DSProcReceiverService::instance() {
  static DSProcReceiverService service;
  return service;
}

const EventDevice::Spec dsprocDevice = {GetDSPDevName,
                                        O_RDWR | O_NONBLOCK | O_CLOEXEC,
                                        "DSProcReceiverService::OnEvent",
                                        "dsproc",
                                        "open dsproc fail, VAD proceeding disabled: ",
                                        DSProcReceiverService::EventSize};

DSProcReceiverService::DSProcReceiverService() : EventDevice(dsprocDevice) { init(); }

void DSProcReceiverService::start(ConfigureRecord& record, unsigned timeslot, uint32_t function) {
  std::memset(record, 0, ConfigureSize);
  Board::RecordWriter out(record, ConfigureSize);
  out.u32(TimeslotAt, timeslot);
  out.u32(FunctionAt, function);
}

bool DSProcReceiverService::configureVAD(unsigned timeslot, const LGCP::VADParams& params) {
  if (!opened("configure VAD", timeslot)) return false;
  ConfigureRecord record;
  start(record, timeslot, VAD);
  Board::RecordWriter out(record, ConfigureSize);
  if (Board::ioctlValue(device.get(), VadVersionRequest, 0) == VadVersion2) {
    if (params.currentSelection() != LGCP::VADParams::e_v2) {
      std::cerr << "DSPROC_CONFIGURE VAD: params not specified for v2: " << " timeslot=" << timeslot << std::endl;
      return false;
    }
    const TERM::VADParamsV2& v2 = params.get_v2();
    out.u16(VoiceAt, uint16_t(v2.get_voice_th_msec().getValue()));
    out.u16(SilenceAt, uint16_t(v2.get_silence_th_msec().getValue()));
    out.u8(EnergyAt, uint8_t(v2.get_e_th_dB().getValue()));
  } else {
    out.u32(LegacyWord1At, LegacyVad[0]);
    out.u32(LegacyWord2At, LegacyVad[1]);
    out.u32(LegacyWord3At, LegacyVad[2]);
  }
  if (Board::ioctl(device.get(), ConfigureRequest, record) < 0) {
    failed("DSPROC_CONFIGURE VAD", timeslot, errno);
    return false;
  }
  std::clog << "DSPROC_CONFIGURE VAD" << " ts=" << timeslot << std::endl;
  return true;
}

bool DSProcReceiverService::configureSD(unsigned timeslot) {
  if (!opened("configure SD", timeslot)) return false;
  ConfigureRecord record;
  start(record, timeslot, SD);
  if (Board::ioctl(device.get(), ConfigureRequest, record) < 0) {
    failed("DSPROC_CONFIGURE SD", timeslot, errno);
    return false;
  }
  std::clog << "DSPROC_CONFIGURE SD" << " ts=" << timeslot << std::endl;
  return true;
}

bool DSProcReceiverService::configureDelays(unsigned timeslot, unsigned rx, unsigned tx, unsigned selcal) {
  if (!opened("configure Delays", timeslot)) return false;
  ConfigureRecord record;
  start(record, timeslot, Delays);
  Board::RecordWriter out(record, ConfigureSize);
  out.u32(DelayRxAt, rx);
  out.u32(DelayTxAt, tx);
  out.u32(DelaySelcalAt, selcal);
  if (Board::ioctl(device.get(), ConfigureRequest, record) < 0) {
    failed("DSPROC_CONFIGURE DELAYS", timeslot, errno);
    return false;
  }
  std::clog << "DSPROC_CONFIGURE DELAYS" << " ts=" << timeslot << " rx=" << rx << " tx=" << tx
            << " selcal=" << selcal << std::endl;
  return true;
}

bool DSProcReceiverService::configureRxGain(unsigned timeslot, signed char gainDB) {
  if (!opened("Configure Rx gain", timeslot)) return false;
  ConfigureRecord record;
  start(record, timeslot, RxGain);
  Board::RecordWriter(record, ConfigureSize).u8(GainAt, uint8_t(gainDB));
  if (Board::ioctl(device.get(), ConfigureRequest, record) < 0) {
    failed("DSPROC_CONFIGURE Rx Gain", timeslot, errno);
    return false;
  }
  std::clog << "DSPROC_CONFIGURE RX GAIN" << " ts=" << timeslot << " gain_dB=" << int(gainDB) << std::endl;
  return true;
}

bool DSProcReceiverService::configureToneFilter(unsigned timeslot, unsigned freq, unsigned enable, int durationMs,
                                                int levelDB) {
  if (!opened("Configure Tone Filter", timeslot)) return false;
  ConfigureRecord record;
  start(record, timeslot, ToneFilter);
  Board::RecordWriter out(record, ConfigureSize);
  out.u16(FilterFreqAt, uint16_t(freq));
  out.u8(FilterEnableAt, uint8_t(enable));
  out.u16(FilterDurationAt, uint16_t(durationMs));
  out.u8(FilterLevelAt, uint8_t(levelDB));
  if (Board::ioctl(device.get(), ConfigureRequest, record) < 0) {
    failed("DSPROC_CONFIGURE Tone Filter", timeslot, errno);
    return false;
  }
  std::clog << "DSPROC_CONFIGURE TONE FILTER" << " ts=" << timeslot << " freq=" << freq << ", en=" << enable
            << ", dur_th_msec=" << durationMs << ", det_lvl_dB=" << levelDB << std::endl;
  return true;
}

int DSProcReceiverService::switchFunctions(unsigned long request, unsigned timeslot, uint32_t id, uint32_t mask) {
  uint8_t record[SwitchSize] = {};
  Board::RecordWriter out(record, sizeof record);
  out.u32(TimeslotAt, timeslot);
  out.u32(IdAt, id);
  out.u32(MaskAt, mask);
  return Board::ioctl(device.get(), request, record);
}

bool DSProcReceiverService::enable(const FunctionSpec& spec, DSProcReceiver& receiver, bool on) {
  DSProcReceiver::Function& function = receiver.*spec.function;
  const unsigned timeslot = receiver.dsproc_timeslot();
  if (function.state != DSProcReceiver::Unknown && function.state == int(on)) return true;
  if (!on) {
    if (switchFunctions(DisableRequest, timeslot, 0, spec.mask) < 0) {
      failed((std::string("DSPROC_DISABLE ") + spec.name).c_str(), timeslot, errno);
      return false;
    }
    function.state = DSProcReceiver::Off;
    std::cerr << "DSPROC_DISABLE " << spec.name << " done:" << " timeslot=" << timeslot << std::endl;
    return true;
  }
  const uint32_t id = detectorIds.next();
  if (switchFunctions(EnableRequest, timeslot, id, spec.mask) < 0) {
    std::cerr << "DSPROC_ENABLE " << spec.name << " fail:" << " timeslot=" << timeslot << " id=" << id
              << " errno=\"" << std::strerror(errno) << "\"" << std::endl;
    return false;
  }
  function = DSProcReceiver::Function{DSProcReceiver::On, id};
  std::cerr << "DSPROC_ENABLE " << spec.name << " done:" << " timeslot=" << timeslot << " id=" << id << std::endl;
  return true;
}

bool DSProcReceiverService::enableVAD(DSProcReceiver& receiver, bool on) { return enable(vadSpec, receiver, on); }

bool DSProcReceiverService::enableBSS(DSProcReceiver& receiver, bool on) { return enable(bssSpec, receiver, on); }

bool DSProcReceiverService::enableNG(DSProcReceiver& receiver, bool on) { return enable(ngSpec, receiver, on); }

bool DSProcReceiverService::enableSelcalSh(DSProcReceiver& receiver, bool on) {
  return enable(selcalShSpec, receiver, on);
}

bool DSProcReceiverService::enableSD(DSProcReceiver& receiver, bool on) { return enable(sdSpec, receiver, on); }

bool DSProcReceiverService::enableMute(DSProcReceiver& receiver, bool rx, bool tx) {
  const unsigned timeslot = receiver.dsproc_timeslot();
  if (receiver.muteRxState != DSProcReceiver::Unknown && receiver.muteTxState != DSProcReceiver::Unknown &&
      receiver.muteRxState == int(rx) && receiver.muteTxState == int(tx)) {
    return true;
  }
  if (!rx && !tx) {
    if (switchFunctions(DisableRequest, timeslot, 0, MuteBoth) < 0) {
      failed("DSPROC_DISABLE MUTE", timeslot, errno);
      return false;
    }
    receiver.muteRxState = receiver.muteTxState = DSProcReceiver::Off;
    std::cerr << "DSPROC_DISABLE MUTE done:" << " timeslot=" << timeslot << std::endl;
    return true;
  }
  const uint32_t id = detectorIds.next();
  if (switchFunctions(EnableRequest, timeslot, id, (rx ? uint32_t(MuteRx) : 0u) | (tx ? uint32_t(MuteTx) : 0u)) < 0) {
    std::cerr << "DSPROC_ENABLE MUTE fail:" << " timeslot=" << timeslot << " id=" << id << " errno=\""
              << std::strerror(errno) << "\"" << std::endl;
    return false;
  }
  receiver.mute_id = id;
  receiver.muteRxState = int(rx);
  receiver.muteTxState = int(tx);
  std::cerr << "DSPROC_ENABLE MUTE done:" << " timeslot=" << timeslot << " id=" << id << std::endl;
  return true;
}

bool DSProcReceiverService::disableToneAll(DSProcReceiver& receiver) {
  const unsigned timeslot = receiver.dsproc_timeslot();
  if (!opened("Disable All Tone", timeslot)) return false;
  if (switchFunctions(DisableRequest, timeslot, 0, ToneFilter) < 0) {
    failed("Disable All Tone", timeslot, errno);
    return false;
  }
  std::clog << "DISABLE ALL TONE done: " << " ts=" << timeslot << std::endl;
  return true;
}

void DSProcReceiverService::onRecord(Board::RecordReader& in) {
  dispatch(in.u32(EventTimeslotAt), in.u32(EventIdAt), in.u32(EventTypeAt), in.u32(WordAAt), in.u32(WordBAt),
           in.u32(WordCAt));
}

void DSProcReceiverService::dispatch(uint32_t timeslot, uint32_t id, uint32_t type, uint32_t a, uint32_t b,
                                     uint32_t c) {
  const bool trace = traces.signalling_events;
  const std::string record = fields(timeslot, id, type);
  if (trace) {
    std::clog << "dsproc event: " << record << std::endl;
    if (type == VadEvent) {
      std::clog << "dsproc vad event: " << " dir_mask=" << a << " vad_rx=" << b << " vad_tx=" << c << std::endl;
    } else if (type == SdEvent) {
      std::clog << "dsproc sd event: " << " sd_rx=" << a << std::endl;
    } else if (type == BssEvent) {
      std::clog << "dsproc bss event: " << " score=" << scoreOf(a) << std::endl;
    } else if (type == FlagsEvent) {
      std::clog << "dsproc flags event: " << " flags=" << ext::OutUnsignedInHex(a) << ", mask="
                << ext::OutUnsignedInHex(b) << std::endl;
    }
  }
  for (DSProcReceiver& receiver : list) {
    if (receiver.dsproc_timeslot() != timeslot) continue;
    switch (type) {
      case VadEvent:
        if (receiver.vadFunction.state == DSProcReceiver::Off) {
          if (trace) std::clog << "ignore spurious dsproc vad event (dsproc disabled): " << record << std::endl;
        } else if (receiver.vadFunction.id != id) {
          if (trace) {
            std::clog << "ignore spurious dsproc vad event: " << record << " rid=" << receiver.vadFunction.id
                      << std::endl;
          }
        } else {
          receiver.dsproc_vad_event(
              DSProcVADEvent{a & DirectionRx ? int(b) : -1, a & DirectionTx ? int(c) : -1});
        }
        break;
      case SdEvent:
        if (receiver.sdFunction.state == DSProcReceiver::Off) {
          if (trace) std::clog << "ignore spurious dsproc sd event (dsproc disabled): " << record << std::endl;
        } else if (receiver.sdFunction.id != id) {
          if (trace) {
            std::clog << "ignore spurious dsproc sd event: " << record << " rid=" << receiver.sdFunction.id
                      << std::endl;
          }
        } else {
          receiver.dsproc_sd_event(DSProcSDEvent{int(a)});
        }
        break;
      case BssEvent:
        if (receiver.bssFunction.state == DSProcReceiver::Off) {
          if (trace) std::clog << "ignore spurious dsproc bss event (dsproc disabled): " << record << std::endl;
        } else {
          const dsproc_bss_event event{scoreOf(a)};
          receiver.dsproc_bss_event(&event);
        }
        break;
      case FlagsEvent: {
        const dsproc_flags_event event{a, b};
        receiver.dsproc_flags_event(&event);
        break;
      }
      case ToneEvent: {
        const dsproc_tone_event event{a, b};
        receiver.dsproc_tone_flt_event(&event);
        break;
      }
      default:
        break;
    }
    return;
  }
  if (trace) std::cerr << "receive dsproc event from unknown timeslot " << timeslot << std::endl;
}

}  // namespace Hardware
