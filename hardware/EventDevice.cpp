#include "hardware/EventDevice.h"

#include <poll.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "board/Board.h"

namespace Hardware {

EventDevice::EventDevice(const Spec& spec) : spec_(spec), record_(spec.eventSize) {}

bool EventDevice::init() {
  if (device) return true;
  const int fd = Board::open(spec_.path(), spec_.flags);
  if (fd < 0) {
    std::cerr << spec_.openFailure << std::strerror(errno) << std::endl;
    return false;
  }
  device = Fd(fd);
  Bind(spec_.handler, &EventDevice::OnEvent, this);
  Schedule(device, POLLIN);
  return true;
}

bool EventDevice::opened(const char* what, unsigned timeslot) {
  if (init()) return true;
  std::cerr << what << " fail: (interface not opened)"
            << " timeslot=" << timeslot << std::endl;
  return false;
}

void EventDevice::lost(const std::string& line) {
  std::cerr << line << std::endl;
  Release();
  device.close();
  forgetDetectors();
}

void EventDevice::failed(const char* what, unsigned timeslot, int err) {
  std::cerr << what << " fail:"
            << " timeslot=" << timeslot << " errno=\"" << std::strerror(err) << "\"" << std::endl;
}

void EventDevice::OnEvent(int fd, short revents) {
  const std::string name = spec_.name;
  if (revents & POLLIN) {
    for (;;) {
      const ssize_t n = Board::read(fd, record_.data(), record_.size());
      if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) break;
        return lost("fail to read from " + name + ": " + std::strerror(errno));
      }
      if (n == 0) return lost(name + " device lost: end of file");
      // A short record is no event; the next read takes the next record.
      if (size_t(n) != record_.size()) continue;
      Board::RecordReader in(record_.data(), record_.size());
      onRecord(in);
    }
  }
  if (revents & (POLLERR | POLLHUP | POLLNVAL)) lost(name + " device lost: " + PollEventAsText(revents));
}

}  // namespace Hardware
