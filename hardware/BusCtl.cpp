#include "hardware/BusCtl.h"

#include <fcntl.h>

#include <cstdint>
#include <iostream>
#include <iterator>

#include "board/Board.h"
#include "board/DevicePaths.h"
#include "board/Record.h"
#include "board/dev/Hal.h"
#include "foundation/os/Ext.h"
#include "hardware/spiCtrl.h"

namespace {

namespace Clock = Board::Dev::Hal::Clock;

const char* const sourceNames[] = {"f0", "f1", "f2", "f3", "freerun", "X3", "?1", "?2"};

}  // namespace

BusCtl& BusCtl::instance() {
  static BusCtl service;
  return service;
}

BusCtl::~BusCtl() {
  if (fd >= 0) Board::close(fd);
}

void BusCtl::PutHeader(std::ostream& out) const { out << "clkctl: "; }

const char* BusCtl::SourceName(int source) {
  return source >= 0 && size_t(source) < std::size(sourceNames) ? sourceNames[source] : "";
}

void BusCtl::OnConnect() {
  if (control) SetDefault();
}

void BusCtl::OnDisconnect() {
  if (control) SetDefault();
}

bool BusCtl::OnCommand(const LGCP::Command& cmd) {
  if (cmd.currentSelection() != LGCP::Command::e_clockCfg) return false;
  if (!control) {
    Error(LGCP::ErrorCause::unsupported);
    return true;
  }
  SetClockSrc(cmd.get_clockCfg());
  Success();
  return true;
}

void BusCtl::DisableControl() {
  std::clog << ext::header(this) << "clock control disabled." << std::endl;
  control = false;
}

void BusCtl::SetDefault() {
  LGCP::ClockCfg cfg;
  cfg.set_clkSel0(LGCP::ClkSel0::internal);
  cfg.set_bextEn(LGCP::BExtEn::disabled);
  cfg.set_source(-1);
  SetClockSrc(cfg);
}

bool BusCtl::IsOpen() {
  if (fd >= 0) return true;
  if (!control) return false;
  fd = Board::open(GetHalDevName(), O_RDWR | O_CLOEXEC);
  return fd >= 0;
}

void BusCtl::SetClockSrc(const LGCP::ClockCfg& cfg) {
  if (!IsOpen()) {
    spiCtrl::instance().clock(-1);
    std::cerr << ext::header(this) << "set clock source fail: code 1." << std::endl;
    return;
  }
  std::cerr << ext::header(this) << "set clock source cmd: " << cfg << std::endl;
  if (cfg.get_clkSel0().get() == LGCP::ClkSel0::internal) return DrvSetClkSrc(FreeRun);
  if (cfg.get_bextEn().get() == LGCP::BExtEn::disabled) return DrvSetClkSrc(X3);
  // An external source that is negative selects nothing.
  const int source = cfg.get_source().getValue();
  if (source >= 0) DrvSetClkSrc(source);
}

void BusCtl::DrvSetClkSrc(int source) {
  if (!IsOpen()) {
    std::cerr << ext::header(this) << "device open error" << std::endl;
    return;
  }
  uint8_t record[Clock::Record::Size];
  Board::RecordWriter(record, sizeof record).put(Clock::Record::Source, source);
  if (Board::ioctl(fd, Clock::Select, record) < 0) {
    std::cerr << ext::header(this) << "HW_CLOCK_SELECT fail." << std::endl;
    return;
  }
  std::cerr << ext::header(this) << "clock source = ";
  if (*SourceName(source))
    std::cerr << SourceName(source) << std::endl;
  else
    std::cerr << source << std::endl;
}
