#include "board/sim/ControlClient.h"

#include "board/Paths.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace Board {
namespace Sim {

namespace {

using Clock = std::chrono::steady_clock;

int remaining(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? int(left) : 0;
}

}  // namespace

ControlClient::~ControlClient() {
  if (fd_ >= 0) ::close(fd_);
}

bool ControlClient::connect(int timeoutMs, const std::string& path) {
  const std::string where = path.empty() ? Paths::path(Paths::SimControl) : path;
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (where.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, where.c_str(), where.size() + 1);
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return false;
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) return true;
    ::close(fd_);
    fd_ = -1;
    if (remaining(deadline) == 0) return false;
    // The socket appears when the daemon first touches the board.
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

bool ControlClient::send(const std::string& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

bool ControlClient::drained(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int unread = 0;
    if (::ioctl(fd_, TIOCOUTQ, &unread) < 0) return false;
    if (unread == 0) return true;
    if (remaining(deadline) == 0) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

bool ControlClient::readLine(std::string& line, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const size_t end = input_.find('\n');
    if (end != std::string::npos) {
      line = input_.substr(0, end);
      input_.erase(0, end + 1);
      return true;
    }
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, remaining(deadline)) <= 0) return false;
    char buf[4096];
    const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
    if (n <= 0) return false;
    input_.append(buf, size_t(n));
  }
}

std::vector<std::string> ControlClient::command(const std::string& line, int timeoutMs) {
  std::vector<std::string> reply;
  if (fd_ < 0) return reply;
  // A refused send still leaves the board's last words to read.
  send(line + "\n");
  for (std::string l; readLine(l, timeoutMs);) {
    reply.push_back(l);
    if (l == "OK" || l.compare(0, 4, "ERR ") == 0) return reply;
  }
  return {};
}

}  // namespace Sim
}  // namespace Board
