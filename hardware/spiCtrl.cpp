#include "hardware/spiCtrl.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdint>
#include <iostream>

#include "board/Board.h"
#include "board/DevicePaths.h"
#include "board/Record.h"
#include "board/dev/Hal.h"

namespace {

namespace Spi = Board::Dev::Hal::Spi;

constexpr unsigned PowerOff = 0x80;
constexpr unsigned PowerOn = 0x00;
constexpr unsigned ClockSlave = 0x30;
constexpr unsigned ClockMaster = 0x38;

struct RegisterValue {
  unsigned address;
  unsigned value;
};

// Set-up of one interface, written in this order.
const RegisterValue setup[] = {
    {Spi::PowerDown, PowerOff},
    {0x30, 0x08},
    {Spi::ClockSelect, ClockSlave},
    {0x34, 0x60},
    {0x35, 0x00},
    {0x36, 0x00},
    {0x37, 0x00},
};

ACP::TrunkState::NamedNumber LineState(unsigned reg) {
  if (!(reg & Spi::Carrier)) return ACP::TrunkState::lossCarrier;
  if (!(reg & Spi::BasicFrame)) return ACP::TrunkState::lossBF;
  if ((reg & Spi::AlarmBits) == Spi::RemoteAlarm) return ACP::TrunkState::rai;
  if ((reg & Spi::AlarmBits) == Spi::NoAlarm) return ACP::TrunkState::normal;
  return ACP::TrunkState::ais;
}

bool ValidInterface(int n) { return n >= 0 && n < spiCtrl::Interfaces; }

}  // namespace

spiCtrl& spiCtrl::instance() {
  static spiCtrl service;
  return service;
}

spiCtrl::spiCtrl() { init_device_and_channels(); }

spiCtrl::~spiCtrl() {
  if (fd < 0) return;
  timer.reset();
  for (int n = 0; n < Interfaces; ++n) disable_channel(n);
  clock(-1);
  Board::close(fd);
}

void spiCtrl::init_device_and_channels() {
  if (fd >= 0 || !spiPresent) return;
  std::clog << "spi: try init" << std::endl;
  fd = Board::open(GetHalDevName(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    std::clog << "spi: /dev/hal open fail" << std::endl;
    return;
  }
  for (int n = 0; n < Interfaces; ++n) {
    init_channel(n);
    enable_channel(n);
  }
}

void spiCtrl::init_channel(int n) {
  if (!spiPresent) return;
  if (!ValidInterface(n)) {
    std::clog << "spi: bad channel for init " << n << std::endl;
    return;
  }
  init_device_and_channels();
  for (const RegisterValue& r : setup) write(unsigned(n), r.address, r.value);
  std::clog << "spi: init channel " << n << std::endl;
}

void spiCtrl::enable_channel(int n) {
  if (!spiPresent) return;
  if (!ValidInterface(n)) {
    std::clog << "spi: bad channel for enable " << n << std::endl;
    return;
  }
  init_device_and_channels();
  write(unsigned(n), Spi::PowerDown, PowerOn);
  std::clog << "spi: enable channel " << n << std::endl;
}

void spiCtrl::disable_channel(int n) {
  if (!spiPresent) return;
  if (!ValidInterface(n)) {
    std::clog << "spi: bad channel for disable " << n << std::endl;
    return;
  }
  init_device_and_channels();
  write(unsigned(n), Spi::PowerDown, PowerOff);
  std::clog << "spi: disable channel " << n << std::endl;
}

void spiCtrl::clock(int n) {
  if (!spiPresent) return;
  if (n < -1 || n >= Interfaces) {
    std::clog << "spi: bad channel for set clock master " << n << std::endl;
    return;
  }
  init_device_and_channels();
  for (int i = 0; i < Interfaces; ++i) write(unsigned(i), Spi::ClockSelect, ClockSlave);
  if (n >= 0) {
    write(unsigned(n), Spi::ClockSelect, ClockMaster);
    std::clog << "spi: set clock master on channel " << n << std::endl;
  } else {
    std::clog << "spi: clock master disabled" << std::endl;
  }
}

void spiCtrl::write(unsigned n, unsigned address, unsigned value) {
  if (!Accessible()) return;
  uint8_t record[Spi::Record::Size];
  Board::RecordWriter out(record, sizeof record);
  out.put(Spi::Record::Interface, n);
  out.put(Spi::Record::Address, address);
  out.put(Spi::Record::Data, value);
  if (Board::ioctl(fd, Spi::WriteRegister, record) >= 0) return;
  if (errno == ENODEV)
    NoSpi();
  else
    std::clog << "spi: write error: channel=" << n << " addr=" << address << " data=" << value << std::endl;
}

unsigned spiCtrl::read(unsigned n, unsigned address) {
  if (!Accessible()) return 0;
  uint8_t record[Spi::Record::Size];
  Board::RecordWriter out(record, sizeof record);
  out.put(Spi::Record::Interface, n);
  out.put(Spi::Record::Address, address);
  out.put(Spi::Record::Data, 0xFF);
  const int result = Board::ioctl(fd, Spi::ReadRegister, record);
  if (result != -1) return unsigned(result) & 0xFF;
  if (errno == ENODEV)
    NoSpi();
  else
    std::clog << "spi: read error: channel=" << n << " addr=" << address << std::endl;
  return 0;
}

void spiCtrl::NoSpi() {
  spiPresent = false;
  timer.reset();
  std::clog << "spi: hal without spi" << std::endl;
}

int spiCtrl::Slips(int n, unsigned reg) {
  if (!(reg & Spi::Slip)) {
    slipLatch[n] = false;
    return 0;
  }
  if (slipLatch[n]) return 0;
  slipLatch[n] = true;
  return 1;
}

void spiCtrl::status() {
  if (!spiPresent) return;
  for (int n = 0; n < Interfaces; ++n) {
    const unsigned reg = read(unsigned(n), Spi::Status);
    LGCP::Signal sig;
    ACP::TrunkStatus& line = sig.select_trunkStatus();
    line.set_trunk(n);
    line.set_state(LineState(reg));
    line.set_slips(Slips(n, reg));
    line.set_lossBF(0);
    line.set_lossCarrier(0);
    line.set_lossAIS(0);
    line.set_lossRAI(0);
    line.set_name("");
    line.set_clockMaster(false);
    line.set_type(ACP::TrunkType::bri);
    SendSignal(sig);
  }
  timer.set(StatusPeriodMs, &spiCtrl::status, this);
}

void spiCtrl::OnConnect() {
  if (Accessible()) timer.set(StatusPeriodMs, &spiCtrl::status, this);
}

void spiCtrl::OnDisconnect() { timer.reset(); }
