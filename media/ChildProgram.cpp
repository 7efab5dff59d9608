#include "media/ChildProgram.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>

namespace {

void writeLine(const char* text) {
  if (!text) return;
  (void)::write(STDOUT_FILENO, text, std::strlen(text));
  (void)::write(STDOUT_FILENO, "\n", 1);
}

// In the child: `fd` becomes `standard`, kept across exec.
void adopt(int fd, int standard) {
  if (fd == standard) {
    ::fcntl(standard, F_SETFD, 0);
  } else if (fd >= 0) {
    ::dup2(fd, standard);
  }
}

}  // namespace

ChildProgram::ChildProgram(std::string file, std::vector<std::string> args)
    : file_(std::move(file)), args_(std::move(args)) {}

ChildProgram& ChildProgram::announce(unsigned seconds, const char* line) {
  delay_ = seconds;
  banner_ = line;
  return *this;
}

ChildProgram& ChildProgram::input(int fd) {
  input_ = fd;
  return *this;
}

ChildProgram& ChildProgram::output(int fd) {
  output_ = fd;
  return *this;
}

ChildProgram& ChildProgram::onExecFailure(int status, const char* line) {
  failStatus_ = status;
  failText_ = line;
  return *this;
}

pid_t ChildProgram::start() const {
  std::vector<char*> argv;
  for (const std::string& a : args_) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  // What the daemon has buffered must not be written twice.
  std::cout.flush();
  std::clog.flush();
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid != 0) return pid;

  adopt(input_, STDIN_FILENO);
  adopt(output_, STDOUT_FILENO);
  if (delay_) ::sleep(delay_);
  writeLine(banner_);
  ::execv(file_.c_str(), argv.data());
  writeLine(failText_);
  ::_exit(failStatus_);
}
