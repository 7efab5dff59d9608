#include "board/sim/ControlServer.h"

#include "board/Paths.h"
#include "board/sim/Commands.h"
#include "board/sim/Registry.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace Board {
namespace Sim {

namespace {

// The server whose socket path goes at exit (one per process).
const ControlServer* listening = nullptr;

void makeParents(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    ::mkdir(path.substr(0, slash).c_str(), 0755);
  }
}

bool sendAll(int fd, const std::string& text) {
  for (size_t done = 0; done < text.size();) {
    const ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

// Sends a reply; a connection that cannot take it is closed.
bool answer(int fd, const std::string& text) {
  if (sendAll(fd, text)) return true;
  ::close(fd);
  return false;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& l : lines) text += l + "\n";
  return text;
}

}  // namespace

void ControlServer::ensureRunning(Registry& board) {
  if (running_.load(std::memory_order_acquire)) return;
  std::lock_guard<std::mutex> guard(board.mutex());
  if (running_.load(std::memory_order_relaxed)) return;
  board_ = &board;
  // A forked child serves the socket it inherited: the path stays the parent's.
  if (listen_ >= 0 || listen()) {
    // The daemon's signals (SIGTERM must interrupt its poll) are never taken by this thread.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    std::thread(&ControlServer::serve, this).detach();
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  }
  running_.store(true, std::memory_order_release);
}

void ControlServer::forgetAfterFork() {
  for (const Client& c : clients_) ::close(c.fd);
  clients_.clear();
  running_.store(false, std::memory_order_relaxed);
}

bool ControlServer::listen() {
  const std::string path = Paths::path(Paths::SimControl);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) {
    std::fprintf(stderr, "board-sim: control socket %s: path too long\n", path.c_str());
    return false;
  }
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  makeParents(path);
  ::unlink(path.c_str());
  listen_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0 || ::listen(listen_, 8) < 0) {
    std::fprintf(stderr, "board-sim: control socket %s: %s\n", path.c_str(), std::strerror(errno));
    if (listen_ >= 0) ::close(listen_);
    listen_ = -1;
    return false;
  }
  path_ = path;
  struct stat node;
  if (::stat(path.c_str(), &node) == 0) {
    pathDevice_ = node.st_dev;
    pathInode_ = node.st_ino;
  }
  listening = this;
  std::atexit([] { listening->removePath(); });
  return true;
}

void ControlServer::removePath() const {
  // A forked child that never served the socket leaves it to its parent.
  if (!running_.load(std::memory_order_acquire)) return;
  struct stat node;
  if (::stat(path_.c_str(), &node) == 0 && node.st_dev == pathDevice_ && node.st_ino == pathInode_)
    ::unlink(path_.c_str());
}

void ControlServer::serve() {
  std::vector<pollfd> set;
  for (;;) {
    {
      std::lock_guard<std::mutex> guard(board_->mutex());
      set.assign(1, pollfd{listen_, POLLIN, 0});
      for (const Client& c : clients_) set.push_back(pollfd{c.fd, POLLIN, 0});
    }
    if (::poll(set.data(), set.size(), -1) < 0) continue;
    for (size_t i = 1; i < set.size(); ++i) {
      if (!set[i].revents) continue;
      for (Client& c : clients_) {
        if (c.fd != set[i].fd) continue;
        if (!receive(c)) forget(set[i].fd);
        break;
      }
    }
    if (set[0].revents & POLLIN) accept();
  }
}

void ControlServer::accept() {
  const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return;
  if (clients_.size() >= MaxClients) {
    sendAll(fd, "ERR too many connections\n");
    ::close(fd);
    return;
  }
  std::lock_guard<std::mutex> guard(board_->mutex());
  clients_.push_back(Client{fd, std::string(), false});
}

bool ControlServer::receive(Client& client) {
  char buf[1024];
  const ssize_t n = ::recv(client.fd, buf, sizeof buf, 0);
  if (n < 0 && errno == EINTR) return true;
  if (n <= 0) {
    ::close(client.fd);
    return false;
  }
  client.input.append(buf, size_t(n));
  for (size_t end; (end = client.input.find('\n')) != std::string::npos;) {
    std::string line = client.input.substr(0, end);
    client.input.erase(0, end + 1);
    if (client.skipping) {
      client.skipping = false;
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const bool open = line.size() > MaxLine ? answer(client.fd, "ERR line too long\n") : runLine(client.fd, line);
    if (!open) return false;
  }
  // Refused before its end comes once not even a closing "\r" can make it fit,
  // so an endless line holds no more than this.
  if (client.input.size() > MaxLine + 1) {
    client.input.clear();
    if (!client.skipping && !answer(client.fd, "ERR line too long\n")) return false;
    client.skipping = true;
  }
  return true;
}

bool ControlServer::runLine(int fd, const std::string& line) {
  if (line.find_first_not_of(" \t") == std::string::npos) return true;
  std::unique_lock<std::mutex> guard(board_->mutex());
  Commands::Outcome out = Commands(*board_).run(line, fd);
  const std::string text = joined(out.reply.text());
  if (out.follow) {
    // Sent with the board locked, so no line falls between the history and the stream.
    if (sendAll(fd, text)) {
      out.follow->follow(fd);
    } else {
      ::close(fd);
    }
    return false;
  }
  guard.unlock();
  return answer(fd, text);
}

void ControlServer::forget(int fd) {
  std::lock_guard<std::mutex> guard(board_->mutex());
  for (auto it = clients_.begin(); it != clients_.end(); ++it) {
    if (it->fd == fd) {
      clients_.erase(it);
      return;
    }
  }
}

}  // namespace Sim
}  // namespace Board
