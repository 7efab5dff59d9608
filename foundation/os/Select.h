#pragma once
// select() over descriptor sets that remember their highest member.

#include <sys/select.h>

#include "foundation/os/TimeVal.h"

namespace Mux {

class Set {
public:
  Set() { zero(); }
  void zero();
  // False for a descriptor outside 0..FD_SETSIZE-1.
  bool set(int fd);
  void clr(int fd);
  bool isset(int fd) const;
  // -1 when empty.
  int max_fd() const { return max_; }
  fd_set* get() { return &set_; }

private:
  fd_set set_;
  int max_;
};

int max_fd(const Set& a, const Set& b);
int max_fd(const Set& a, const Set& b, const Set& c);

// A set whose highest member is negative is passed as null. Without a
// timeout select() waits without limit.
int select(Set& rd);
int select(Set& rd, Set& wr);
int select(Set& rd, Set& wr, Set& ex);
int select(Set& rd, timeval& timeout);
int select(Set& rd, Set& wr, timeval& timeout);
int select(Set& rd, Set& wr, Set& ex, timeval& timeout);
int select_rd(Set& rd, timeval& timeout);
int select_wr(Set& wr, timeval& timeout);

}  // namespace Mux
