#pragma once
// The panel functions of the board-control device "/dev/hal": the DIP
// switches, the power supplies and the front-panel LEDs, one byte per
// request. The device is opened on first use, and every use while it is not
// open tries again, so it is picked up as soon as it exists; opening it
// switches every LED off. A failed request is no error of the caller's: its
// check simply ends.

#include <cstdint>

#include "asn1/modules/LGCP.h"

class PanelDevice {
public:
  PanelDevice() = default;
  // Every LED off, the device closed.
  ~PanelDevice();
  PanelDevice(const PanelDevice&) = delete;
  PanelDevice& operator=(const PanelDevice&) = delete;

  // True when the device is open, opening it when it is not.
  bool IsOpen();
  bool readDip(uint8_t& byte);
  bool readPower(uint8_t& byte);
  // A display command's framer record: the framer's link or line LED on or
  // off, then the whole LED byte written. Nothing while the device is not
  // there; a framer outside 0..3 changes nothing (one log line).
  void setFramerLed(const LGCP::FramerInfo& info);

  // The LED byte last written.
  uint8_t leds() const { return leds_; }

private:
  bool request(uint32_t request, uint8_t& byte);
  bool writeLeds();

  int fd_ = -1;
  uint8_t leds_ = 0;
};
