#include "hardware/DSProcReceiverService.h"

#include <fcntl.h>
#include <poll.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <sstream>

#include "board/Board.h"
#include "board/DevicePaths.h"
#include "board/Record.h"
#include "foundation/config/TraceCtl.h"
#include "foundation/os/Ext.h"

namespace Hardware {

namespace Proc = Board::Dev::Dsp;

// One function of the enable family: its mask, its name in the log lines,
// and where a receiver keeps its state and id.
struct DSProcReceiverService::FunctionSpec {
  uint32_t mask;
  const char* name;
  DSProcReceiver::Function DSProcReceiver::*function;
};

const DSProcReceiverService::FunctionSpec DSProcReceiverService::vadSpec = {Proc::Vad, "VAD",
                                                                            &DSProcReceiver::vadFunction};
const DSProcReceiverService::FunctionSpec DSProcReceiverService::bssSpec = {Proc::Bss, "BSS",
                                                                            &DSProcReceiver::bssFunction};
const DSProcReceiverService::FunctionSpec DSProcReceiverService::ngSpec = {Proc::Ng, "NG", &DSProcReceiver::ngFunction};
const DSProcReceiverService::FunctionSpec DSProcReceiverService::selcalShSpec = {Proc::SelcalSh, "SELCAL_SH",
                                                                                 &DSProcReceiver::selcalShFunction};
const DSProcReceiverService::FunctionSpec DSProcReceiverService::sdSpec = {Proc::Sd, "SD", &DSProcReceiver::sdFunction};

namespace {

namespace Configure = Proc::Configure;

// What a driver before VAD version 2 is configured with.
constexpr uint32_t LegacyVad[] = {3, 127, 0};
constexpr uint32_t MuteBoth = Proc::MuteRx | Proc::MuteTx;

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
                                        Proc::Event::Size};

DSProcReceiverService::DSProcReceiverService() : EventDevice(dsprocDevice) { init(); }

void DSProcReceiverService::start(ConfigureRecord& record, unsigned timeslot, uint32_t function) {
  std::memset(record, 0, Configure::Size);
  Board::RecordWriter out(record, Configure::Size);
  out.put(Configure::Timeslot, timeslot);
  out.put(Configure::Function, function);
}

bool DSProcReceiverService::configureVAD(unsigned timeslot, const LGCP::VADParams& params) {
  if (!opened("configure VAD", timeslot)) return false;
  ConfigureRecord record;
  start(record, timeslot, Proc::Vad);
  Board::RecordWriter out(record, Configure::Size);
  if (Board::ioctlValue(device.get(), Proc::VadVersion, 0) == Proc::VadVersion2) {
    if (params.currentSelection() != LGCP::VADParams::e_v2) {
      std::cerr << "DSPROC_CONFIGURE VAD: params not specified for v2: "
                << " timeslot=" << timeslot << std::endl;
      return false;
    }
    const TERM::VADParamsV2& v2 = params.get_v2();
    out.put(Configure::VoiceMs, v2.get_voice_th_msec().getValue());
    out.put(Configure::SilenceMs, v2.get_silence_th_msec().getValue());
    out.put(Configure::EnergyDb, v2.get_e_th_dB().getValue());
  } else {
    for (size_t i = 0; i < 3; ++i) out.put(Configure::LegacyVad[i], LegacyVad[i]);
  }
  if (Board::ioctl(device.get(), Proc::ConfigureFunction, record) < 0) {
    failed("DSPROC_CONFIGURE VAD", timeslot, errno);
    return false;
  }
  std::clog << "DSPROC_CONFIGURE VAD"
            << " ts=" << timeslot << std::endl;
  return true;
}

bool DSProcReceiverService::configureSD(unsigned timeslot) {
  if (!opened("configure SD", timeslot)) return false;
  ConfigureRecord record;
  start(record, timeslot, Proc::Sd);
  if (Board::ioctl(device.get(), Proc::ConfigureFunction, record) < 0) {
    failed("DSPROC_CONFIGURE SD", timeslot, errno);
    return false;
  }
  std::clog << "DSPROC_CONFIGURE SD"
            << " ts=" << timeslot << std::endl;
  return true;
}

bool DSProcReceiverService::configureDelays(unsigned timeslot, unsigned rx, unsigned tx, unsigned selcal) {
  if (!opened("configure Delays", timeslot)) return false;
  ConfigureRecord record;
  start(record, timeslot, Proc::Delays);
  Board::RecordWriter out(record, Configure::Size);
  out.put(Configure::DelayRx, rx);
  out.put(Configure::DelayTx, tx);
  out.put(Configure::DelaySelcal, selcal);
  if (Board::ioctl(device.get(), Proc::ConfigureFunction, record) < 0) {
    failed("DSPROC_CONFIGURE DELAYS", timeslot, errno);
    return false;
  }
  std::clog << "DSPROC_CONFIGURE DELAYS"
            << " ts=" << timeslot << " rx=" << rx << " tx=" << tx << " selcal=" << selcal << std::endl;
  return true;
}

bool DSProcReceiverService::configureRxGain(unsigned timeslot, signed char gainDB) {
  if (!opened("Configure Rx gain", timeslot)) return false;
  ConfigureRecord record;
  start(record, timeslot, Proc::RxGain);
  Board::RecordWriter(record, Configure::Size).put(Configure::GainDb, gainDB);
  if (Board::ioctl(device.get(), Proc::ConfigureFunction, record) < 0) {
    failed("DSPROC_CONFIGURE Rx Gain", timeslot, errno);
    return false;
  }
  std::clog << "DSPROC_CONFIGURE RX GAIN"
            << " ts=" << timeslot << " gain_dB=" << int(gainDB) << std::endl;
  return true;
}

bool DSProcReceiverService::configureToneFilter(unsigned timeslot, unsigned freq, unsigned enable, int durationMs,
                                                int levelDB) {
  if (!opened("Configure Tone Filter", timeslot)) return false;
  ConfigureRecord record;
  start(record, timeslot, Proc::ToneFilter);
  Board::RecordWriter out(record, Configure::Size);
  out.put(Configure::FilterFreq, freq);
  out.put(Configure::FilterEnable, enable);
  out.put(Configure::FilterDurationMs, durationMs);
  out.put(Configure::FilterLevelDb, levelDB);
  if (Board::ioctl(device.get(), Proc::ConfigureFunction, record) < 0) {
    failed("DSPROC_CONFIGURE Tone Filter", timeslot, errno);
    return false;
  }
  std::clog << "DSPROC_CONFIGURE TONE FILTER"
            << " ts=" << timeslot << " freq=" << freq << ", en=" << enable << ", dur_th_msec=" << durationMs
            << ", det_lvl_dB=" << levelDB << std::endl;
  return true;
}

int DSProcReceiverService::switchFunctions(unsigned long request, unsigned timeslot, uint32_t id, uint32_t mask) {
  uint8_t record[Proc::Switch::Size] = {};
  Board::RecordWriter out(record, sizeof record);
  out.put(Proc::Switch::Timeslot, timeslot);
  out.put(Proc::Switch::Id, id);
  out.put(Proc::Switch::Mask, mask);
  return Board::ioctl(device.get(), request, record);
}

bool DSProcReceiverService::enable(const FunctionSpec& spec, DSProcReceiver& receiver, bool on) {
  DSProcReceiver::Function& function = receiver.*spec.function;
  const unsigned timeslot = receiver.dsproc_timeslot();
  if (function.state != DSProcReceiver::Unknown && function.state == int(on)) return true;
  if (!on) {
    if (switchFunctions(Proc::Disable, timeslot, 0, spec.mask) < 0) {
      failed((std::string("DSPROC_DISABLE ") + spec.name).c_str(), timeslot, errno);
      return false;
    }
    function.state = DSProcReceiver::Off;
    std::cerr << "DSPROC_DISABLE " << spec.name << " done:"
              << " timeslot=" << timeslot << std::endl;
    return true;
  }
  const uint32_t id = detectorIds.next();
  if (switchFunctions(Proc::Enable, timeslot, id, spec.mask) < 0) {
    std::cerr << "DSPROC_ENABLE " << spec.name << " fail:"
              << " timeslot=" << timeslot << " id=" << id << " errno=\"" << std::strerror(errno) << "\"" << std::endl;
    return false;
  }
  function = DSProcReceiver::Function{DSProcReceiver::On, id};
  std::cerr << "DSPROC_ENABLE " << spec.name << " done:"
            << " timeslot=" << timeslot << " id=" << id << std::endl;
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
    if (switchFunctions(Proc::Disable, timeslot, 0, MuteBoth) < 0) {
      failed("DSPROC_DISABLE MUTE", timeslot, errno);
      return false;
    }
    receiver.muteRxState = receiver.muteTxState = DSProcReceiver::Off;
    std::cerr << "DSPROC_DISABLE MUTE done:"
              << " timeslot=" << timeslot << std::endl;
    return true;
  }
  const uint32_t id = detectorIds.next();
  const uint32_t mask = (rx ? uint32_t(Proc::MuteRx) : 0u) | (tx ? uint32_t(Proc::MuteTx) : 0u);
  if (switchFunctions(Proc::Enable, timeslot, id, mask) < 0) {
    std::cerr << "DSPROC_ENABLE MUTE fail:"
              << " timeslot=" << timeslot << " id=" << id << " errno=\"" << std::strerror(errno) << "\"" << std::endl;
    return false;
  }
  receiver.mute_id = id;
  receiver.muteRxState = int(rx);
  receiver.muteTxState = int(tx);
  std::cerr << "DSPROC_ENABLE MUTE done:"
            << " timeslot=" << timeslot << " id=" << id << std::endl;
  return true;
}

bool DSProcReceiverService::disableToneAll(DSProcReceiver& receiver) {
  const unsigned timeslot = receiver.dsproc_timeslot();
  if (!opened("Disable All Tone", timeslot)) return false;
  if (switchFunctions(Proc::Disable, timeslot, 0, Proc::ToneFilter) < 0) {
    failed("Disable All Tone", timeslot, errno);
    return false;
  }
  std::clog << "DISABLE ALL TONE done: "
            << " ts=" << timeslot << std::endl;
  return true;
}

// An enable after the loss must reach the driver, not be taken as done already.
void DSProcReceiverService::forgetDetectors() {
  for (DSProcReceiver& receiver : list) {
    for (DSProcReceiver::Function* f : {&receiver.vadFunction, &receiver.bssFunction, &receiver.ngFunction,
                                        &receiver.selcalShFunction, &receiver.sdFunction})
      f->state = DSProcReceiver::Off;
    receiver.muteRxState = receiver.muteTxState = DSProcReceiver::Off;
    receiver.delays_set = receiver.rx_gain_set = false;
  }
}

void DSProcReceiverService::onRecord(Board::RecordReader& in) {
  dispatch(in.get(Proc::Event::Timeslot), in.get(Proc::Event::Id), in.get(Proc::Event::Type),
           in.get(Proc::Event::Words[0]), in.get(Proc::Event::Words[1]), in.get(Proc::Event::Words[2]));
}

void DSProcReceiverService::dispatch(uint32_t timeslot, uint32_t id, uint32_t type, uint32_t a, uint32_t b,
                                     uint32_t c) {
  const bool trace = traces.signalling_events;
  const std::string record = fields(timeslot, id, type);
  if (trace) {
    std::clog << "dsproc event: " << record << std::endl;
    if (type == Proc::VadEvent) {
      std::clog << "dsproc vad event: "
                << " dir_mask=" << a << " vad_rx=" << b << " vad_tx=" << c << std::endl;
    } else if (type == Proc::SdEvent) {
      std::clog << "dsproc sd event: "
                << " sd_rx=" << a << std::endl;
    } else if (type == Proc::BssEvent) {
      std::clog << "dsproc bss event: "
                << " score=" << scoreOf(a) << std::endl;
    } else if (type == Proc::FlagsEvent) {
      std::clog << "dsproc flags event: "
                << " flags=" << ext::OutUnsignedInHex(a) << ", mask=" << ext::OutUnsignedInHex(b) << std::endl;
    }
  }
  for (DSProcReceiver& receiver : list) {
    if (receiver.dsproc_timeslot() != timeslot) continue;
    switch (type) {
      case Proc::VadEvent:
        if (receiver.vadFunction.state == DSProcReceiver::Off) {
          if (trace) std::clog << "ignore spurious dsproc vad event (dsproc disabled): " << record << std::endl;
        } else if (receiver.vadFunction.id != id) {
          if (trace) {
            std::clog << "ignore spurious dsproc vad event: " << record << " rid=" << receiver.vadFunction.id
                      << std::endl;
          }
        } else {
          receiver.dsproc_vad_event(
              Proc::VadReport{a & Proc::DirectionRx ? int(b) : -1, a & Proc::DirectionTx ? int(c) : -1});
        }
        break;
      case Proc::SdEvent:
        if (receiver.sdFunction.state == DSProcReceiver::Off) {
          if (trace) std::clog << "ignore spurious dsproc sd event (dsproc disabled): " << record << std::endl;
        } else if (receiver.sdFunction.id != id) {
          if (trace) {
            std::clog << "ignore spurious dsproc sd event: " << record << " rid=" << receiver.sdFunction.id
                      << std::endl;
          }
        } else {
          receiver.dsproc_sd_event(Proc::SdReport{int(a)});
        }
        break;
      case Proc::BssEvent:
        if (receiver.bssFunction.state == DSProcReceiver::Off) {
          if (trace) std::clog << "ignore spurious dsproc bss event (dsproc disabled): " << record << std::endl;
        } else {
          const Proc::BssReport event{scoreOf(a)};
          receiver.dsproc_bss_event(&event);
        }
        break;
      case Proc::FlagsEvent: {
        const Proc::FlagsReport event{a, b};
        receiver.dsproc_flags_event(&event);
        break;
      }
      case Proc::ToneEvent: {
        const Proc::ToneReport event{a, b};
        receiver.dsproc_tone_flt_event(&event);
        break;
      }
      default: break;
    }
    return;
  }
  if (trace) std::cerr << "receive dsproc event from unknown timeslot " << timeslot << std::endl;
}

}  // namespace Hardware
