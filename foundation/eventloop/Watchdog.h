#pragma once
// The hardware watchdog as the main loop drives it: "START" when the loop
// starts, "PING" about once a second, "STOP" when it ends. Failures are
// reported on standard error; the loop then runs without the watchdog.

#include <sys/types.h>

class Watchdog {
public:
  // Where the writes go: the board's watchdog device, or a test's stand-in.
  class Device {
  public:
    virtual ~Device() = default;
    virtual int open() = 0;
    virtual ssize_t write(int fd, const void* data, size_t size) = 0;
    virtual int close(int fd) = 0;
  };

  constexpr Watchdog() = default;
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  // Null restores the board's device.
  void use(Device* device) { device_ = device; }

  // Opens the device and writes "START"; false (device closed) on failure.
  bool start();
  // Writes "PING" when open; the device stays open when that fails.
  void ping();
  // Writes "STOP" and closes, when open.
  void stop();
  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }

private:
  Device& device();
  Device* device_ = nullptr;
  int fd_ = -1;
};
