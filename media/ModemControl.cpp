#include "media/ModemControl.h"

#include "board/Board.h"
#include "board/DevicePaths.h"
#include "board/Record.h"
#include "board/dev/Mctl.h"

namespace ModemControl {

namespace Ctl = Board::Dev::Mctl;

Fd open(int flags) { return Fd(Board::open(GetModemDevName(), flags)); }

int next(const Fd& control, int previous) {
  return Board::ioctlValue(control.get(), Ctl::Enumerate, (unsigned long)(long)previous);
}

int allocate(const Fd& control) { return Board::ioctlValue(control.get(), Ctl::Allocate, 0); }

int timeslot(const Fd& control) { return Board::ioctlValue(control.get(), Ctl::Timeslot, 0); }

int request(const Fd& control, uint32_t number, int32_t modem, int32_t word) {
  uint8_t record[Ctl::ModemWord::Size];
  Board::RecordWriter out(record, sizeof record);
  out.put(Ctl::ModemWord::Modem, modem);
  out.put(Ctl::ModemWord::Word, word);
  return Board::ioctl(control.get(), number, record);
}

int setParameter(const Fd& control, int32_t modem, int32_t offset, int32_t value) {
  uint8_t record[Ctl::Parameter::Size];
  Board::RecordWriter out(record, sizeof record);
  out.put(Ctl::Parameter::Modem, modem);
  out.put(Ctl::Parameter::Offset, offset);
  out.put(Ctl::Parameter::Value, value);
  return Board::ioctl(control.get(), Ctl::SetDmp, record);
}

}  // namespace ModemControl
