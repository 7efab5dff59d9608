#include "board/sim/MccFarEnds.h"

#include "board/Paths.h"
#include "board/sim/Registry.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace Board {
namespace Sim {

// Shared with the thread, which outlives the object when the model is
// replaced: it finds `stopping` set and leaves without touching the model.
struct MccFarEnds::State : std::enable_shared_from_this<MccFarEnds::State> {
  struct End {
    int listener = -1;
    int peer = -1;
  };

  State(Receiver receiver, const char* pattern) : receiver(std::move(receiver)), pattern(pattern) {}
  ~State() {
    for (int fd : wake) {
      if (fd >= 0) ::close(fd);
    }
  }

  void wakeUp() {
    const char c = 0;
    if (wake[1] >= 0 && ::write(wake[1], &c, 1) < 0) {
      // A full pipe already wakes the thread.
    }
  }
  void closeEnd(int32_t channel) {
    auto it = ends.find(channel);
    if (it == ends.end()) return;
    ::close(it->second.listener);
    if (it->second.peer >= 0) ::close(it->second.peer);
    ::unlink(path(channel, pattern).c_str());
    ends.erase(it);
    wakeUp();
  }
  bool ensureThread();
  void serve();
  void ready(int32_t channel, int fd, short revents);

  Receiver receiver;
  const char* pattern;
  std::map<int32_t, End> ends;
  int wake[2] = {-1, -1};
  std::mutex* board = nullptr;
  pid_t servedBy = 0;  // the process whose thread serves the sockets
  bool stopping = false;
};

MccFarEnds::MccFarEnds(Receiver receiver, const char* pattern)
    : state_(std::make_shared<State>(std::move(receiver), pattern)) {}

MccFarEnds::~MccFarEnds() {
  closeAll();
  state_->stopping = true;
  state_->wakeUp();
}

std::string MccFarEnds::path(int32_t channel, const char* pattern) {
  char name[64];
  std::snprintf(name, sizeof name, pattern, int(channel));
  return Paths::path(name);
}

std::string MccFarEnds::where(int32_t channel) const { return path(channel, state_->pattern); }

bool MccFarEnds::open(int32_t channel) {
  close(channel);
  if (!state_->ensureThread()) return false;
  const std::string where = this->where(channel);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (where.size() >= sizeof addr.sun_path) {
    errno = ENAMETOOLONG;
    return false;
  }
  std::memcpy(addr.sun_path, where.c_str(), where.size() + 1);
  ::unlink(where.c_str());
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0 || ::listen(fd, 4) < 0) {
    const int err = errno;
    ::close(fd);
    errno = err;
    return false;
  }
  state_->ends[channel].listener = fd;
  state_->wakeUp();
  return true;
}

void MccFarEnds::close(int32_t channel) { state_->closeEnd(channel); }

void MccFarEnds::closeAll() {
  while (!state_->ends.empty()) state_->closeEnd(state_->ends.begin()->first);
}

MccFarEnds::Sent MccFarEnds::send(int32_t channel, const std::string& packet) {
  auto it = state_->ends.find(channel);
  if (it == state_->ends.end() || it->second.peer < 0) return Sent::NoPeer;
  if (::send(it->second.peer, packet.data(), packet.size(), MSG_DONTWAIT | MSG_NOSIGNAL) == ssize_t(packet.size())) {
    return Sent::Delivered;
  }
  return Sent::Lost;
}

bool MccFarEnds::attached(int32_t channel) const {
  auto it = state_->ends.find(channel);
  return it != state_->ends.end() && it->second.peer >= 0;
}

bool MccFarEnds::State::ensureThread() {
  // A forked child has the sockets but not the thread.
  if (servedBy == ::getpid()) return true;
  if (wake[0] < 0 && ::pipe2(wake, O_NONBLOCK | O_CLOEXEC) < 0) return false;
  board = &Registry::instance().mutex();
  // The daemon's signals are never taken by this thread.
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);
  std::thread([self = shared_from_this()] { self->serve(); }).detach();
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  servedBy = ::getpid();
  return true;
}

void MccFarEnds::State::serve() {
  std::vector<pollfd> set;
  std::vector<int32_t> owners;
  for (;;) {
    {
      std::lock_guard<std::mutex> guard(*board);
      if (stopping) return;
      set.assign(1, pollfd{wake[0], POLLIN, 0});
      owners.assign(1, -1);
      for (const auto& e : ends) {
        set.push_back(pollfd{e.second.listener, POLLIN, 0});
        owners.push_back(e.first);
        if (e.second.peer < 0) continue;
        set.push_back(pollfd{e.second.peer, POLLIN, 0});
        owners.push_back(e.first);
      }
    }
    if (::poll(set.data(), set.size(), -1) < 0) continue;
    std::lock_guard<std::mutex> guard(*board);
    if (stopping) return;
    char drain[64];
    while (::read(wake[0], drain, sizeof drain) > 0) {
    }
    for (size_t i = 1; i < set.size(); ++i) {
      if (set[i].revents) ready(owners[i], set[i].fd, set[i].revents);
    }
  }
}

void MccFarEnds::State::ready(int32_t channel, int fd, short revents) {
  auto it = ends.find(channel);
  if (it == ends.end()) return;
  End& end = it->second;
  if (fd == end.listener) {
    const int peer = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (peer < 0) return;
    if (end.peer >= 0) ::close(end.peer);
    end.peer = peer;
    return;
  }
  if (fd != end.peer) return;
  std::string packet(MaxPacket + 1, '\0');
  const ssize_t n = ::recv(fd, &packet[0], packet.size(), MSG_DONTWAIT);
  // An empty packet and the end of the connection both read as 0: the
  // hang-up tells them apart.
  if (n < 0 ? errno != EAGAIN && errno != EINTR : n == 0 && (revents & (POLLHUP | POLLERR))) {
    ::close(end.peer);
    end.peer = -1;
    return;
  }
  if (n < 0) return;
  packet.resize(size_t(n));
  receiver(channel, packet);
}

}  // namespace Sim
}  // namespace Board
