#include "board/sim/FarEndClient.h"

#include "board/Paths.h"
#include "board/sim/MccFarEnds.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace Board {
namespace Sim {

FarEndClient::~FarEndClient() { close(); }

void FarEndClient::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool FarEndClient::connect(int32_t channel, int timeoutMs, const std::string& root) {
  std::string path = MccFarEnds::path(channel);
  if (!root.empty()) path = root + path.substr(Paths::root().size());
  return connectPath(path, timeoutMs);
}

bool FarEndClient::connectPath(const std::string& path, int timeoutMs) {
  close();
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    fd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) return true;
    close();
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool FarEndClient::send(const std::string& frame) {
  return fd_ >= 0 && ::send(fd_, frame.data(), frame.size(), MSG_NOSIGNAL) == ssize_t(frame.size());
}

bool FarEndClient::receive(std::string& frame, int timeoutMs) {
  pollfd p{fd_, POLLIN, 0};
  if (fd_ < 0 || ::poll(&p, 1, timeoutMs) <= 0) return false;
  frame.assign(MccFarEnds::MaxPacket + 1, '\0');
  const ssize_t n = ::recv(fd_, &frame[0], frame.size(), MSG_DONTWAIT);
  // An empty packet reads like the end of the connection; the model never sends one.
  if (n <= 0) return false;
  frame.resize(size_t(n));
  return true;
}

}  // namespace Sim
}  // namespace Board
