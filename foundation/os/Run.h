#pragma once
// The pid file of the running daemon: "<run dir><name>.pid" holds the
// process id in decimal while the object lives. It takes no lock and
// overwrites a file left behind; a file that cannot be created is skipped.

#include <string>

namespace Linux {

class Run {
public:
  explicit Run(const char* name);
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;
  // Closes and removes the file.
  ~Run();

  const std::string& path() const { return path_; }
  bool isOpen() const { return fd_ >= 0; }

private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace Linux
