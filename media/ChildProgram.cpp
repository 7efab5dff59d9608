#include "media/ChildProgram.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
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

// In the child: the daemon's handlers give way to the default actions, as
// exec would make them, before any signal held back since the fork arrives.
void defaultSignals(const sigset_t& mask) {
  for (int signo = 1; signo < NSIG; ++signo) {
    struct sigaction action;
    if (::sigaction(signo, nullptr, &action) != 0 || action.sa_handler == SIG_IGN || action.sa_handler == SIG_DFL)
      continue;
    action.sa_handler = SIG_DFL;
    action.sa_flags = 0;
    ::sigaction(signo, &action, nullptr);
  }
  ::pthread_sigmask(SIG_SETMASK, &mask, nullptr);
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
  // A signal sent to the child before its exec (a hang-up right after the start) must not reach a
  // handler of the daemon and be lost there: signals wait until the child has the default actions.
  sigset_t all, previous;
  ::sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &previous);
  const pid_t pid = ::fork();
  if (pid != 0) {
    const int err = errno;
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = err;
    return pid;
  }

  defaultSignals(previous);
  adopt(input_, STDIN_FILENO);
  adopt(output_, STDOUT_FILENO);
  if (delay_) ::sleep(delay_);
  writeLine(banner_);
  ::execv(file_.c_str(), argv.data());
  writeLine(failText_);
  ::_exit(failStatus_);
}
