#pragma once
// The simulated board's control socket: a UNIX-domain stream socket that
// tests and people use from outside the daemon's process, one command line
// in, reply lines out. Served by one thread of its own; the daemon itself
// stays single-threaded.

#include <sys/types.h>

#include <atomic>
#include <string>
#include <vector>

namespace Board {
namespace Sim {

class Registry;

class ControlServer {
public:
  // Longest command line; a longer one is answered with an error and skipped.
  static constexpr size_t MaxLine = 4096;
  static constexpr size_t MaxClients = 16;

  // Starts the socket and its thread unless this process has them already.
  void ensureRunning(Registry& board);
  // In the child of a fork: the thread stayed with the parent. The child
  // keeps the listening socket and serves it from its own thread once it
  // uses the board (daemon mode: the parent is about to exit).
  void forgetAfterFork();

private:
  struct Client {
    int fd;
    std::string input;
    bool skipping;  // inside a line that was too long
  };

  bool listen();
  // At the exit of a process that serves the socket, its path goes, unless
  // another board has bound it since. A forked child that serves it owns it
  // (the parent of daemon mode leaves through _exit()).
  void removePath() const;
  void serve();
  void accept();
  // False when the connection is over (closed, or handed to a device's followers).
  bool receive(Client& client);
  bool runLine(int fd, const std::string& line);
  // The connection is no longer read (its descriptor is closed or handed over).
  void forget(int fd);

  std::atomic<bool> running_{false};
  Registry* board_ = nullptr;
  int listen_ = -1;
  std::string path_;
  dev_t pathDevice_ = 0;
  ino_t pathInode_ = 0;
  std::vector<Client> clients_;  // changed with the board locked
};

}  // namespace Sim
}  // namespace Board
