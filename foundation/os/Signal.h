#pragma once
// Signal installation. Each call returns sigaction()'s result; the old
// action is not kept.

#include <signal.h>

namespace IPC {
namespace Signal {

class Set {
public:
  Set();
  Set(int a, int b);
  Set(int a, int b, int c);
  // True when the number names a signal.
  static bool is_signal(int signo);
  const sigset_t& get() const { return set_; }

private:
  sigset_t set_;
};

using Handler = void (*)(int);
using InfoHandler = void (*)(int, siginfo_t*, void*);

int ignore(int signo);
// Restores the default action.
int system(int signo);
int handle(int signo, Handler handler, const Set& mask, int flags);
int handle(int signo, Handler handler, int flags);
int handle(int signo, InfoHandler handler, const Set& mask, int flags);
int handle(int signo, InfoHandler handler, int flags);
// Whether a signal interrupts system calls (siginterrupt() with 0 and 1).
int disable_int(int signo);
int enable_int(int signo);

}  // namespace Signal
}  // namespace IPC
