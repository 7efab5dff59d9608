#include "slots/tdm/MixerCtl.h"

#include <fcntl.h>

#include <cerrno>

#include "board/Board.h"
#include "board/Record.h"
#include "hardware/DevicePaths.h"

namespace Mixer {

namespace {

// A mix_slot is three words; the add record holds two of them and the gain.
enum : size_t { DevNoAt = 0, TypeAt = 4, NumberAt = 8, SlotSize = 12 };
enum : size_t { RxAt = 0, TxAt = 12, GainAt = 24, AddSize = 28 };
enum : size_t { UnitAt = 0, TdmChannelsAt = 4, UnusedAt = 8, MixerInputsAt = 12, UnitSize = 16 };

void put(Board::RecordWriter& out, size_t at, const mix_slot& slot) {
  out.u32(at + DevNoAt, uint32_t(slot.dev_no));
  out.u32(at + TypeAt, uint32_t(slot.type));
  out.u32(at + NumberAt, uint32_t(slot.number));
}

int slotRequest(unsigned long request, const mix_slot& slot) {
  uint8_t record[SlotSize];
  Board::RecordWriter out(record, sizeof record);
  put(out, 0, slot);
  return mixer_ctl(request, record);
}

int addRequest(unsigned long request, const mix_slot& point, const mix_slot& input, int32_t gain) {
  uint8_t record[AddSize];
  Board::RecordWriter out(record, sizeof record);
  put(out, RxAt, point);
  put(out, TxAt, input);
  out.u32(GainAt, uint32_t(gain));
  return mixer_ctl(request, record);
}

}  // namespace

int mixer_ctl(unsigned long request, void* record) {
  const int fd = Board::open(GetMixerDevName(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  const int result = Board::ioctl(fd, request, record);
  const int err = errno;
  Board::close(fd);
  errno = err;
  return result;
}

int clearPoint(const mix_slot& point) { return slotRequest(MIX_RX_CLEAR, point); }

int addInput(const mix_slot& point, const mix_slot& input, int32_t gain) {
  return addRequest(MIX_RX_ADD, point, input, gain);
}

int removeInput(const mix_slot& point, const mix_slot& input) { return addRequest(MIX_RX_REMOVE, point, input, 0); }

int tdmChannel(const mix_slot& channel) { return slotRequest(MIX_TDM, channel); }

int queryUnit(mix_unit& unit) {
  uint8_t record[UnitSize] = {};
  Board::RecordWriter out(record, sizeof record);
  out.u32(UnitAt, uint32_t(unit.unit));
  out.u32(TdmChannelsAt, uint32_t(unit.tdmChannels));
  out.u32(UnusedAt, 0);
  out.u32(MixerInputsAt, uint32_t(unit.mixerInputs));
  const int result = mixer_ctl(MIX_UNIT_QUERY, record);
  if (result < 0) return result;
  Board::RecordReader in(record, sizeof record);
  unit.unit = in.s32(UnitAt);
  unit.tdmChannels = in.s32(TdmChannelsAt);
  unit.mixerInputs = in.s32(MixerInputsAt);
  return result;
}

}  // namespace Mixer
