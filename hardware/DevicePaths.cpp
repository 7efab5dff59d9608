#include "hardware/DevicePaths.h"

#include <string>

#include "board/Paths.h"

// Each path is placed once and kept for the life of the process.
const char* GetVoiceDevName() {
  static const std::string path = Board::Paths::path(Board::Paths::Voice);
  return path.c_str();
}

const char* GetMixerDevName() {
  static const std::string path = Board::Paths::path(Board::Paths::Mixer);
  return path.c_str();
}

const char* GetDTMFDevName() {
  static const std::string path = Board::Paths::path(Board::Paths::Dtmf);
  return path.c_str();
}

const char* GetDSPDevName() {
  static const std::string path = Board::Paths::path(Board::Paths::Dsp);
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
  static const std::string path = Board::Paths::path(Board::Paths::Maintenance);
  return path.c_str();
}
