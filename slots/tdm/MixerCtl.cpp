#include "slots/tdm/MixerCtl.h"

#include <fcntl.h>

#include <cerrno>

#include "board/Board.h"
#include "board/DevicePaths.h"
#include "board/Record.h"

namespace Mixer {

namespace {

namespace Mix = Board::Dev::Mixer;

int openDevice() { return Board::open(GetMixerDevName(), O_RDONLY | O_CLOEXEC); }

void put(Board::RecordWriter& out, size_t at, const mix_slot& slot) {
  out.put(Mix::Slot::Unit + at, slot.dev_no);
  out.put(Mix::Slot::Type + at, slot.type);
  out.put(Mix::Slot::Number + at, slot.number);
}

int slotRequest(unsigned long request, const mix_slot& slot) {
  uint8_t record[Mix::Slot::Size];
  Board::RecordWriter out(record, sizeof record);
  put(out, 0, slot);
  return mixer_ctl(request, record);
}

int addRequest(unsigned long request, const mix_slot& point, const mix_slot& input, int32_t gain) {
  uint8_t record[Mix::Add::Size];
  Board::RecordWriter out(record, sizeof record);
  put(out, Mix::Add::Point, point);
  put(out, Mix::Add::Input, input);
  out.put(Mix::Add::Gain, gain);
  return mixer_ctl(request, record);
}

}  // namespace

int mixer_ctl(unsigned long request, void* record) {
  const int fd = openDevice();
  if (fd < 0) return -1;
  const int result = Board::ioctl(fd, request, record);
  const int err = errno;
  Board::close(fd);
  errno = err;
  return result;
}

int probeDevice() {
  const int fd = openDevice();
  if (fd < 0) return -1;
  Board::close(fd);
  return 0;
}

int clearPoint(const mix_slot& point) { return slotRequest(MIX_RX_CLEAR, point); }

int addInput(const mix_slot& point, const mix_slot& input, int32_t gain) {
  return addRequest(MIX_RX_ADD, point, input, gain);
}

int removeInput(const mix_slot& point, const mix_slot& input) { return addRequest(MIX_RX_REMOVE, point, input, 0); }

int tdmChannel(const mix_slot& channel) { return slotRequest(MIX_TDM, channel); }

int queryUnit(mix_unit& unit) {
  uint8_t record[Mix::Unit::Size] = {};
  Board::RecordWriter out(record, sizeof record);
  out.put(Mix::Unit::Number, unit.unit);
  out.put(Mix::Unit::TdmChannels, unit.tdmChannels);
  out.put(Mix::Unit::Unused, 0);
  out.put(Mix::Unit::MixerInputs, unit.mixerInputs);
  const int result = mixer_ctl(MIX_UNIT_QUERY, record);
  if (result < 0) return result;
  Board::RecordReader in(record, sizeof record);
  unit.unit = in.get(Mix::Unit::Number);
  unit.tdmChannels = in.get(Mix::Unit::TdmChannels);
  unit.mixerInputs = in.get(Mix::Unit::MixerInputs);
  return result;
}

}  // namespace Mixer
