#include "board/sim/Registry.h"

#include "board/Paths.h"
#include "board/sim/Commands.h"
#include "board/sim/Models.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <fstream>

namespace Board {
namespace Sim {

namespace {
Registry* theBoard = nullptr;

// A power-on line without its comment: a word starting with '#' begins one,
// which runs to the end of the line (no argument of a command starts so).
std::string uncommented(const std::string& line) {
  for (size_t at = line.find('#'); at != std::string::npos; at = line.find('#', at + 1)) {
    if (at == 0 || std::isspace(static_cast<unsigned char>(line[at - 1]))) return line.substr(0, at);
  }
  return line;
}
}  // namespace

Registry& Registry::instance() {
  static Registry* board = theBoard = new Registry;
  board->control_.ensureRunning(*board);
  return *board;
}

Registry::Registry() {
  for (auto& model : makeModels()) add(std::move(model));
  powerOn();
  // A fork (daemon mode, child programs) must not inherit a locked board,
  // and the child has no control thread: it starts its own on next use.
  pthread_atfork([] { theBoard->mutex_.lock(); }, [] { theBoard->mutex_.unlock(); },
                 [] {
                   theBoard->mutex_.unlock();
                   theBoard->afterForkInChild();
                 });
}

void Registry::powerOn() {
  std::ifstream lines(Paths::path(Paths::SimPowerOn));
  unsigned number = 0;
  for (std::string line; std::getline(lines, line);) {
    ++number;
    const std::string command = uncommented(line);
    if (Commands::split(command).empty()) continue;
    const Reply reply = Commands(*this).run(command, -1).reply;
    if (reply.failed())
      std::fprintf(stderr, "board-sim: power-on line %u: %s: %s\n", number, line.c_str(), reply.text().back().c_str());
  }
}

void Registry::afterForkInChild() { control_.forgetAfterFork(); }

Device* Registry::atPath(const std::string& fullPath, int& number) const {
  std::string path = fullPath;
  const std::string& root = Paths::root();
  if (!root.empty() && path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
      path[root.size()] == '/') {
    path.erase(0, root.size());
  }
  for (const auto& d : devices_) {
    if (d->path().matches(path, number)) return d.get();
  }
  return nullptr;
}

Device* Registry::find(const std::string& pathOrName) const {
  int number;
  if (Device* d = atPath(pathOrName, number)) return d;
  for (const auto& d : devices_) {
    if (d->name() == pathOrName) return d.get();
  }
  return nullptr;
}

Device& Registry::add(std::unique_ptr<Device> device) {
  for (auto& d : devices_) {
    const bool same = d->path().none() ? d->name() == device->name() : d->path().text() == device->path().text();
    if (!same) continue;
    for (auto it = open_.begin(); it != open_.end();) {
      it = it->second.device == d.get() ? open_.erase(it) : std::next(it);
    }
    d = std::move(device);
    return *d;
  }
  devices_.push_back(std::move(device));
  return *devices_.back();
}

int Registry::open(Device& device, int flags, int pathNumber) {
  if (!device.present()) return -ENOENT;
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) < 0) return -errno;
  const int fd = ends[0];
  struct stat st;
  if ((!(flags & O_CLOEXEC) && ::fcntl(fd, F_SETFD, 0) < 0) ||
      ((flags & O_NONBLOCK || !device.readsWait()) && ::fcntl(fd, F_SETFL, O_NONBLOCK) < 0) || ::fstat(fd, &st) < 0) {
    const int err = errno;
    ::close(ends[0]);
    ::close(ends[1]);
    return -err;
  }
  OpenFile& file = device.attach(ends[1], flags & O_ACCMODE, pathNumber);
  open_[{st.st_dev, st.st_ino}] = Target{&device, &file};
  return fd;
}

Registry::Target Registry::lookup(int fd) {
  struct stat st;
  if (::fstat(fd, &st) < 0 || !S_ISSOCK(st.st_mode)) return {};
  auto it = open_.find({st.st_dev, st.st_ino});
  return it == open_.end() ? Target{} : it->second;
}

void Registry::sweep() {
  std::vector<pollfd> peers;
  for (const auto& entry : open_) peers.push_back(pollfd{entry.second.file->peer, 0, 0});
  if (peers.empty() || ::poll(peers.data(), peers.size(), 0) <= 0) return;
  size_t i = 0;
  for (auto it = open_.begin(); it != open_.end(); ++i) {
    if (peers[i].revents & POLLHUP) {
      it->second.device->detach(it->second.file->id);
      it = open_.erase(it);
    } else {
      ++it;
    }
  }
}

void Registry::reset() {
  for (auto& d : devices_) d->reset();
}

}  // namespace Sim
}  // namespace Board
