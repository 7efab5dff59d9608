#pragma once
// The daemon of the soak: the real server in a root directory of its own on
// the simulated board, its child programs replaced by the stand-in, and what
// /proc and its status dump tell of it.

#include <sys/types.h>

#include <map>
#include <string>

class SoakDaemon {
public:
  SoakDaemon(std::string server, std::string standin, bool keep);
  ~SoakDaemon();
  SoakDaemon(const SoakDaemon&) = delete;
  SoakDaemon& operator=(const SoakDaemon&) = delete;

  // Runs it on a free port, its standard streams into files of the root.
  bool start();
  // SIGTERM; true when it ended with status 0.
  bool stop();
  // The root stays after the soak (for a look at the daemon's files).
  void keep() { keep_ = true; }

  const std::string& root() const { return root_; }
  std::string file(const char* fixed) const { return root_ + fixed; }
  int port() const { return port_; }

  long residentKb() const;
  // The open descriptors by kind: files by path, sockets named in `devices`
  // ("socket:[INODE]" to the device's path) by their device's path, other
  // sockets and pipes by kind alone.
  std::map<std::string, int> descriptors(const std::map<std::string, std::string>& devices) const;
  // Processes whose parent it is.
  unsigned children() const;
  // The free packet buffers its status dump reports; -1 when no dump came.
  int freePackets() const;

private:
  std::string proc(const char* what) const;
  void install(const char* program, const char* steps) const;

  std::string server_;
  std::string standin_;
  bool keep_;
  std::string root_;
  pid_t pid_ = -1;
  int port_ = 0;
};
