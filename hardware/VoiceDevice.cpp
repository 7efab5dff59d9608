#include "hardware/VoiceDevice.h"

#include <fcntl.h>

#include "board/Board.h"
#include "board/DevicePaths.h"
#include "board/Record.h"

namespace VoiceDevice {

namespace Voice = Board::Dev::Voice;

Fd open() { return Fd(Board::open(GetVoiceDevName(), O_RDONLY | O_CLOEXEC)); }

bool version(const Fd& device, Version& words) {
  uint8_t record[Voice::Version::Size] = {};
  const bool valid = Board::ioctl(device.get(), Voice::GetVersion, record) >= 0;
  Board::RecordReader in(record, sizeof record);
  for (size_t i = 0; i < words.size(); ++i) words[i] = valid ? in.get(Voice::Version::Word[i]) : 0;
  return valid;
}

int countChannels(const Fd& device, uint32_t type) {
  uint8_t word[Voice::ChannelCount::Size];
  Board::RecordWriter(word, sizeof word).put(Voice::ChannelCount::Type, type);
  return Board::ioctl(device.get(), Voice::CountChannels, word);
}

}  // namespace VoiceDevice
