#include "foundation/os/Signal.h"

namespace IPC {
namespace Signal {

Set::Set() { sigemptyset(&set_); }

Set::Set(int a, int b) : Set() {
  sigaddset(&set_, a);
  sigaddset(&set_, b);
}

Set::Set(int a, int b, int c) : Set(a, b) { sigaddset(&set_, c); }

bool Set::is_signal(int signo) {
  sigset_t probe;
  sigemptyset(&probe);
  return sigaddset(&probe, signo) == 0;
}

namespace {
int install(int signo, struct sigaction& action, const Set& mask) {
  action.sa_mask = mask.get();
  return sigaction(signo, &action, nullptr);
}
}  // namespace

int ignore(int signo) {
  struct sigaction action = {};
  action.sa_handler = SIG_IGN;
  return install(signo, action, Set());
}

int system(int signo) {
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  return install(signo, action, Set());
}

int handle(int signo, Handler handler, const Set& mask, int flags) {
  struct sigaction action = {};
  action.sa_handler = handler;
  action.sa_flags = flags & ~SA_SIGINFO;
  return install(signo, action, mask);
}

int handle(int signo, Handler handler, int flags) { return handle(signo, handler, Set(), flags); }

int handle(int signo, InfoHandler handler, const Set& mask, int flags) {
  struct sigaction action = {};
  action.sa_sigaction = handler;
  action.sa_flags = flags | SA_SIGINFO;
  return install(signo, action, mask);
}

int handle(int signo, InfoHandler handler, int flags) { return handle(signo, handler, Set(), flags); }

namespace {
// What siginterrupt() does: system calls are restarted after the handler
// unless interruption is enabled.
int setRestart(int signo, bool restart) {
  struct sigaction action;
  if (sigaction(signo, nullptr, &action) != 0) return -1;
  if (restart)
    action.sa_flags |= SA_RESTART;
  else
    action.sa_flags &= ~SA_RESTART;
  return sigaction(signo, &action, nullptr);
}
}  // namespace

int disable_int(int signo) { return setRestart(signo, true); }

int enable_int(int signo) { return setRestart(signo, false); }

}  // namespace Signal
}  // namespace IPC
