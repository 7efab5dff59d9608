#pragma once
// The interfaces between a radio gateway slot and its radio controller: what
// the slot asks of the controller, what the controller runs on the main loop,
// and how it reports back to the slot.

#include <cstdint>

#include "asn1/modules/TERM.h"

namespace RTPSignalling {

// What the slot asks of its controller.
class IRadioController {
public:
  virtual ~IRadioController() = default;
  // A controller command for the channel: true when it is of the controller's protocol.
  virtual bool SendASNToChan(const TERM::RadioStatus&) { return false; }
  virtual bool SendASNToChan(const TERM::RadioModifier&) { return false; }
  // Whether the squelch last sent to the channel is open.
  virtual bool GetSQU() { return false; }
};

// What the controller runs on the main loop.
class IRadioIntController {
public:
  virtual ~IRadioIntController() = default;
  // The extension session's descriptor and its returned poll events.
  virtual void OnRtpExtEvent(int, short) {}
  // The periodic run at loop time `now`: the delay in ms until the next one.
  virtual uint32_t ProcessRadioStatus(uint32_t, uint32_t interval) { return interval; }
};

// How the controller reports to its slot.
class IRadioControlNotify {
public:
  virtual ~IRadioControlNotify() = default;
  // A received header or packet, for the controller program.
  virtual void RadioControlNotify(const TERM::RtpRadioRequest&) {}
  // The radio is lost (151: no ED-137 keep-alive).
  virtual void RadioControlNotify(int) {}
};

}  // namespace RTPSignalling
