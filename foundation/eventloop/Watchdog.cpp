#include "foundation/eventloop/Watchdog.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>

#include <iostream>

#include "board/Board.h"
#include "board/DevicePaths.h"
#include "board/dev/Watchdog.h"

namespace {
class BoardWatchdog : public Watchdog::Device {
public:
  int open() override { return Board::open(GetWatchdogDevName(), O_WRONLY | O_CLOEXEC); }
  ssize_t write(int fd, const void* data, size_t size) override { return Board::write(fd, data, size); }
  int close(int fd) override { return Board::close(fd); }
};

// A short write leaves the device without the whole word: a failure too.
bool writeWord(Watchdog::Device& device, int fd, const char* word) {
  size_t size = strlen(word);
  ssize_t written = device.write(fd, word, size);
  if (written >= 0 && written != ssize_t(size)) errno = EIO;
  return written == ssize_t(size);
}
}  // namespace

Watchdog::Device& Watchdog::device() {
  static BoardWatchdog board;
  return device_ ? *device_ : board;
}

bool Watchdog::start() {
  if (fd_ >= 0) return true;
  int fd = device().open();
  if (fd < 0) {
    std::cerr << "Mux: fail to open watchdog: " << strerror(errno) << std::endl;
    return false;
  }
  if (!writeWord(device(), fd, Board::Dev::Watchdog::Start)) {
    std::cerr << "Mux: fail to activate watchdog: " << strerror(errno) << std::endl;
    device().close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

void Watchdog::ping() {
  if (fd_ < 0) return;
  if (!writeWord(device(), fd_, Board::Dev::Watchdog::Ping))
    std::cerr << "Mux: ping watchdog failed: " << strerror(errno) << std::endl;
}

void Watchdog::stop() {
  if (fd_ < 0) return;
  if (!writeWord(device(), fd_, Board::Dev::Watchdog::Stop))
    std::cerr << "Mux: stop watchdog failed: " << strerror(errno) << std::endl;
  device().close(fd_);
  fd_ = -1;
}
