#include "board/DevicePaths.h"

#include <string>

#include "board/Paths.h"
#include "board/dev/Dsp.h"
#include "board/dev/DspData.h"
#include "board/dev/Dtmf.h"
#include "board/dev/E1Cas.h"
#include "board/dev/Hal.h"
#include "board/dev/Maintenance.h"
#include "board/dev/Mcc.h"
#include "board/dev/Mctl.h"
#include "board/dev/Mixer.h"
#include "board/dev/Rtp.h"
#include "board/dev/RtpExt.h"
#include "board/dev/Voice.h"
#include "board/dev/Watchdog.h"

namespace {

// Each path is placed once and kept for the life of the process.
template <const char* const& Fixed>
const char* placed() {
  static const std::string path = Board::Paths::path(Fixed);
  return path.c_str();
}

}  // namespace

const char* GetVoiceDevName() { return placed<Board::Dev::Voice::Path>(); }
const char* GetMixerDevName() { return placed<Board::Dev::Mixer::Path>(); }
const char* GetDTMFDevName() { return placed<Board::Dev::Dtmf::Path>(); }
const char* GetDSPDevName() { return placed<Board::Dev::Dsp::Path>(); }
const char* GetRtpDevName() { return placed<Board::Dev::Rtp::Path>(); }
const char* GetModemDevName() { return placed<Board::Dev::Mctl::Path>(); }
const char* GetMaintenance() { return placed<Board::Dev::Maintenance::Path>(); }
const char* GetHalDevName() { return placed<Board::Dev::Hal::Path>(); }
const char* GetMccDevName() { return placed<Board::Dev::Mcc::Path>(); }
const char* GetE1CasDevName() { return placed<Board::Dev::E1Cas::Path>(); }
const char* GetDspDataDevName() { return placed<Board::Dev::DspData::Path>(); }
const char* GetWatchdogDevName() { return placed<Board::Dev::Watchdog::Path>(); }
const char* GetConsoleDevName() { return placed<Board::Paths::Console>(); }

namespace RTPSignalling {

const char* GetRtpExtDevName() { return placed<Board::Dev::RtpExt::Path>(); }

}  // namespace RTPSignalling
