#pragma once
// The eight ISDN BRI line interface chips, whose 8-bit registers are reached
// over SPI through "/dev/hal": set up at start, switched on and off, one of
// them (or none) made clock master, and while a controller is connected each
// interface's line state is reported once a second as a trunkStatus of type
// bri. Bound as a service only to hear the controller come and go: it takes
// no command.

#include "board/dev/Hal.h"
#include "foundation/eventloop/Timer.h"
#include "server/CtrlService.h"

class spiCtrl : public CtrlSrv::Service {
public:
  static constexpr int Interfaces = Board::Dev::Hal::Spi::Interfaces;
  static constexpr unsigned StatusPeriodMs = 1000;

  // Built on first use; building opens the device and sets up every interface.
  static spiCtrl& instance();
  ~spiCtrl() override;

  void OnConnect() override;
  void OnDisconnect() override;
  bool OnCommand(const LGCP::Command&) override { return false; }

  void init_channel(int n);
  void enable_channel(int n);
  void disable_channel(int n);
  // Interface n (0..7) becomes clock master; -1 makes none clock master.
  void clock(int n);

  void write(unsigned n, unsigned address, unsigned value);
  // The register's byte; 0 when access is off or fails.
  unsigned read(unsigned n, unsigned address);

  // One status report of every interface; re-arms itself.
  void status();

  bool SpiPresent() const { return spiPresent; }
  bool Sweeping() const { return timer.active(); }

private:
  spiCtrl();
  void init_device_and_channels();
  bool Accessible() const { return fd >= 0 && spiPresent; }
  // The device answered that it has no SPI: access stops for good.
  void NoSpi();
  // The slip indication counts once per rising edge of its bit, per interface.
  int Slips(int n, unsigned reg);

  int fd = -1;
  Timer timer;
  bool spiPresent = true;
  bool slipLatch[Interfaces] = {};
};
