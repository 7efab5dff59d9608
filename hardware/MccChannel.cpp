#include "hardware/MccChannel.h"

#include <fcntl.h>

#include <cerrno>

#include "board/Board.h"
#include "board/DevicePaths.h"
#include "board/Record.h"
#include "board/dev/Mcc.h"

namespace Ctl = Board::Dev::Mcc;

MccChannel MccChannel::open(int flags) {
  MccChannel channel;
  const int fd = Board::open(GetMccDevName(), flags);
  if (fd < 0)
    channel.fail(Open);
  else
    channel.fd = Fd(fd);
  return channel;
}

MccChannel MccChannel::open(int flags, const Allocation& allocation) {
  MccChannel channel = open(flags);
  channel.allocate(allocation);
  return channel;
}

void MccChannel::allocate(const Allocation& allocation) {
  if (failed != None) return;
  uint8_t record[Ctl::Allocation::Size];
  Board::RecordWriter out(record, sizeof record);
  out.put(Ctl::Allocation::Type, allocation.type);
  out.put(Ctl::Allocation::RxPacketSize, allocation.rxPacketSize);
  out.put(Ctl::Allocation::Reserved, 0);
  out.put(Ctl::Allocation::RxThreshold, allocation.rxThreshold);
  out.put(Ctl::Allocation::TxThreshold, allocation.txThreshold);
  if (Board::ioctl(fd.get(), Ctl::Allocate, record) < 0) return fail(Allocate);
  timeslot = Board::ioctlValue(fd.get(), Ctl::Timeslot, 0);
  if (timeslot < 0) fail(Timeslot);
}

MccChannel::FreeChannels MccChannel::freeChannels() {
  FreeChannels free;
  Fd fd(Board::open(GetMccDevName(), O_RDONLY | O_CLOEXEC));
  uint8_t record[Ctl::Resources::Size] = {};
  if (!fd || Board::ioctl(fd.get(), Ctl::FreeChannels, record) < 0) return free;
  Board::RecordReader in(record, sizeof record);
  free.data = in.get(Ctl::Resources::Data);
  free.bri = in.get(Ctl::Resources::Bri);
  free.transparent = in.get(Ctl::Resources::Transparent);
  return free;
}

const char* MccChannel::failure(const char* open, const char* allocate, const char* timeslot) const {
  switch (failed) {
    case Open: return open;
    case Allocate: return allocate;
    case Timeslot: return timeslot;
    default: return "";
  }
}

void MccChannel::fail(Step step) {
  failed = step;
  error = errno;
}
