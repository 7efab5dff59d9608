#pragma once
// A child program of a media slot (pppd, the fax programs, the T.38
// program): its command line, what the child does between fork() and
// execv(), and how it ends when execv() fails. Everything the child needs is
// built before the fork: between fork() and exec the child makes only system
// calls (the simulated board runs a thread of its own), and it ends with
// _exit(), so none of the daemon's static objects is torn down in it.

#include <sys/types.h>

#include <string>
#include <vector>

class ChildProgram {
public:
  // `file`: what execv() runs; `args`: the command line, the program's name first.
  ChildProgram(std::string file, std::vector<std::string> args);

  // Before execv(): wait that many seconds, then write the line on standard output.
  ChildProgram& announce(unsigned seconds, const char* line);
  // The descriptors become the child's standard input, its standard output.
  ChildProgram& input(int fd);
  ChildProgram& output(int fd);
  // When execv() fails: write the line (when given) on standard output and end with the status.
  ChildProgram& onExecFailure(int status, const char* line = nullptr);

  // The child's pid; -1 with errno when fork() failed. Standard streams are flushed first.
  pid_t start() const;

  const std::string& file() const { return file_; }
  const std::vector<std::string>& args() const { return args_; }

private:
  std::string file_;
  std::vector<std::string> args_;
  unsigned delay_ = 0;
  const char* banner_ = nullptr;
  int input_ = -1;
  int output_ = -1;
  int failStatus_ = 2;
  const char* failText_ = nullptr;
};
