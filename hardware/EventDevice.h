#pragma once
// A driver that reports fixed-size event records on its descriptor (the tone
// and DSP drivers): opened when first needed, read until a read would block,
// and taken out of the poll set (closed) with one line once it fails, hangs
// up or ends; the next request that needs it opens it again.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "board/Record.h"
#include "foundation/eventloop/Event.h"
#include "foundation/os/Fd.h"

namespace Hardware {

class EventDevice : public Event {
public:
  struct Spec {
    const char* (*path)();
    int flags;
    const char* handler;      // the handler's name in the status dump
    const char* name;         // the driver in the read and loss lines ("tonec")
    const char* openFailure;  // the line of a failed open, before the system error text
    size_t eventSize;
  };

  bool IsOpened() const { return bool(device); }
  // Reads the driver's events until a read fails.
  void OnEvent(int fd, short revents);

protected:
  explicit EventDevice(const Spec& spec);
  // Opens the device when it is not open; true when it is open.
  bool init();
  // The device opened, or else the "<what> fail: (interface not opened)" line.
  bool opened(const char* what, unsigned timeslot);
  // The common "<what> fail: timeslot=N errno="text"" line.
  static void failed(const char* what, unsigned timeslot, int err);
  // One whole event record; short ones never get here.
  virtual void onRecord(Board::RecordReader& in) = 0;
  // The descriptor is gone, and with it what the driver had switched on for it.
  virtual void forgetDetectors() = 0;

  Fd device;

private:
  void lost(const std::string& line);

  const Spec& spec_;
  std::vector<uint8_t> record_;
};

}  // namespace Hardware
