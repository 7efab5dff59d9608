#include "board/sim/Device.h"

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace Board {
namespace Sim {

std::vector<std::string> Reply::text() const {
  std::vector<std::string> all = lines_;
  all.push_back(failed_ ? "ERR " + error_ : "OK");
  return all;
}

Device::Device(std::string name, std::string path) : name_(std::move(name)), path_(std::move(path)) {}

Device::~Device() {
  for (const OpenFile& f : files_) ::close(f.peer);
  for (int fd : followers_) ::close(fd);
}

ssize_t Device::write(OpenFile&, const uint8_t*, size_t) { return -EINVAL; }

int Device::ioctl(OpenFile&, uint32_t, uint8_t*, size_t) { return -ENOTTY; }

int Device::ioctlValue(OpenFile&, uint32_t, unsigned long) { return -ENOTTY; }

void Device::reset() {
  present_ = true;
  heal();
  resetState();
}

int Device::requestRefusal(uint32_t request) const {
  auto it = refusedRequests_.find(request);
  return it == refusedRequests_.end() ? 0 : it->second;
}

void Device::heal() {
  refusedRequests_.clear();
  refusedWrites_ = 0;
}

size_t Device::inject(const void* record, size_t len) {
  size_t reached = 0;
  for (const OpenFile& f : files_) {
    if (::send(f.peer, record, len, MSG_DONTWAIT | MSG_NOSIGNAL) == ssize_t(len)) ++reached;
  }
  return reached;
}

void Device::publish(const std::string& line) {
  const std::string text = line + "\n";
  for (auto it = followers_.begin(); it != followers_.end();) {
    // A follower that stopped reading is dropped rather than stalling the daemon.
    if (::send(*it, text.data(), text.size(), MSG_DONTWAIT | MSG_NOSIGNAL) == ssize_t(text.size())) {
      ++it;
    } else {
      ::close(*it);
      it = followers_.erase(it);
    }
  }
}

OpenFile& Device::attach(int peer, int accessMode) {
  static unsigned nextId = 1;
  files_.push_back(OpenFile{nextId++, accessMode, peer});
  opened(files_.back());
  return files_.back();
}

void Device::detach(unsigned id) {
  for (auto it = files_.begin(); it != files_.end(); ++it) {
    if (it->id != id) continue;
    closed(*it);
    ::close(it->peer);
    files_.erase(it);
    return;
  }
}

}  // namespace Sim
}  // namespace Board
