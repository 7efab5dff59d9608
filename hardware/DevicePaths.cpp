#include "hardware/DevicePaths.h"

#include <string>

#include "board/Paths.h"
#include "board/dev/Dsp.h"
#include "board/dev/Dtmf.h"
#include "board/dev/Maintenance.h"
#include "board/dev/Mixer.h"
#include "board/dev/Voice.h"

// Each path is placed once and kept for the life of the process.
const char* GetVoiceDevName() {
  static const std::string path = Board::Paths::path(Board::Dev::Voice::Path);
  return path.c_str();
}

const char* GetMixerDevName() {
  static const std::string path = Board::Paths::path(Board::Dev::Mixer::Path);
  return path.c_str();
}

const char* GetDTMFDevName() {
  static const std::string path = Board::Paths::path(Board::Dev::Dtmf::Path);
  return path.c_str();
}

const char* GetDSPDevName() {
  static const std::string path = Board::Paths::path(Board::Dev::Dsp::Path);
  return path.c_str();
}

const char* GetRtpDevName() {
  static const std::string path = Board::Paths::path(Board::Paths::Rtp);
  return path.c_str();
}

const char* GetModemDevName() {
  static const std::string path = Board::Paths::path(Board::Paths::ModemCtl);
  return path.c_str();
}

const char* GetMaintenance() {
  static const std::string path = Board::Paths::path(Board::Dev::Maintenance::Path);
  return path.c_str();
}
