#pragma once
// The board's TDM clock: the controller picks the clock source (clockCfg),
// and every controller connect or disconnect puts the clock back to
// free-run. The "--disable-clock" option switches the control off for good.

#include <iosfwd>

#include "board/dev/Hal.h"
#include "server/CtrlService.h"

class BusCtl : public CtrlSrv::Service {
public:
  // Clock source numbers as the driver takes them.
  enum Source { FreeRun = Board::Dev::Hal::Clock::FreeRun, X3 = Board::Dev::Hal::Clock::X3 };

  static BusCtl& instance();
  ~BusCtl() override;

  void OnConnect() override;
  void OnDisconnect() override;
  // Takes clockCfg: success whatever the device did, unsupported while disabled.
  bool OnCommand(const LGCP::Command& cmd) override;

  // Before any controller can connect: clock control off for good.
  void DisableControl();
  bool ControlEnabled() const { return control; }

  void SetClockSrc(const LGCP::ClockCfg& cfg);
  void DrvSetClkSrc(int source);

  void PutHeader(std::ostream& out) const;
  // The name a source is logged with: "f0".."f3", "freerun", "X3", "?1", "?2";
  // "" for numbers without one.
  static const char* SourceName(int source);

private:
  BusCtl() = default;
  bool IsOpen();
  void SetDefault();

  int fd = -1;
  bool control = true;
};
