#include "signalling/DspDataLink.h"

#include <fcntl.h>

#include "board/Board.h"
#include "board/DevicePaths.h"
#include "board/Record.h"
#include "board/dev/DspData.h"

namespace DspDataLink {

namespace Dsp = Board::Dev::DspData;

Fd open() { return Fd(Board::open(GetDspDataDevName(), O_RDWR | O_NONBLOCK | O_CLOEXEC)); }

int dChannel(int link) {
  // The query's number says it reads 4 bytes: it gets a word, though the channel is the result.
  uint8_t scratch[4] = {};
  return Board::ioctl(link, Dsp::DChannel, scratch);
}

int addBChannel(int link, int32_t index, int32_t& tdm) {
  uint8_t record[Dsp::BChannel::Size];
  Board::RecordWriter out(record, sizeof record);
  out.put(Dsp::BChannel::Index, index);
  out.put(Dsp::BChannel::Tdm, -1);
  const int r = Board::ioctl(link, Dsp::AddBChannel, record);
  if (r >= 0) tdm = Board::RecordReader(record, sizeof record).get(Dsp::BChannel::Tdm);
  return r;
}

int releaseBChannel(int link, int32_t index, int32_t tdm) {
  uint8_t record[Dsp::BChannel::Size];
  Board::RecordWriter out(record, sizeof record);
  out.put(Dsp::BChannel::Index, index);
  out.put(Dsp::BChannel::Tdm, tdm);
  return Board::ioctl(link, Dsp::ReleaseBChannel, record);
}

}  // namespace DspDataLink
