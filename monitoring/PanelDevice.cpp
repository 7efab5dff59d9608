#include "monitoring/PanelDevice.h"

#include <fcntl.h>

#include <iostream>

#include "board/Board.h"
#include "board/DevicePaths.h"
#include "board/dev/Hal.h"
#include "foundation/os/Fd.h"

namespace Panel = Board::Dev::Hal::Panel;

PanelDevice::~PanelDevice() {
  if (fd_ < 0) return;
  leds_ = 0;
  writeLeds();
  Board::close(fd_);
}

bool PanelDevice::IsOpen() {
  if (fd_ >= 0) return true;
  leds_ = 0;
  fd_ = Board::open(GetHalDevName(), O_RDWR);
  if (fd_ < 0) return false;
  writeLeds();
  SetCloexec(fd_, true);
  return true;
}

bool PanelDevice::request(uint32_t request, uint8_t& byte) {
  uint8_t record[Panel::Record::Size];
  Board::RecordWriter(record, sizeof record).put(Panel::Record::Byte, byte);
  if (Board::ioctl(fd_, request, record) < 0) return false;
  byte = Board::RecordReader(record, sizeof record).get(Panel::Record::Byte);
  return true;
}

bool PanelDevice::readDip(uint8_t& byte) {
  byte = 0;
  return IsOpen() && request(Panel::ReadDip, byte);
}

bool PanelDevice::readPower(uint8_t& byte) {
  byte = 0;
  return IsOpen() && request(Panel::ReadPower, byte);
}

bool PanelDevice::writeLeds() {
  uint8_t byte = leds_;
  return request(Panel::WriteLeds, byte);
}

void PanelDevice::setFramerLed(const LGCP::FramerInfo& info) {
  if (!IsOpen()) return;
  const int framer = info.get_e1().getValue();
  if (framer < 0 || framer >= int(Panel::Framers)) {
    std::cerr << "monitoring: display for framer " << framer << ", LEDs unchanged" << std::endl;
    return;
  }
  const uint8_t link = Panel::linkLed(unsigned(framer));
  const uint8_t line = Panel::lineLed(unsigned(framer));
  const LGCP::FramerInfoData& data = info.get_info();
  switch (data.currentSelection()) {
    case LGCP::FramerInfoData::e_link:
      // The link LED shows a link that is down.
      if (data.get_link().getValue())
        leds_ &= uint8_t(~link);
      else
        leds_ |= link;
      break;
    case LGCP::FramerInfoData::e_line:
      if (data.get_line().getValue())
        leds_ |= (leds_ & line) ? line : uint8_t(line | link);
      else
        leds_ &= uint8_t(~(line | link));
      break;
    default: break;
  }
  writeLeds();
}
