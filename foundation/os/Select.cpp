#include "foundation/os/Select.h"

#include <sys/time.h>

namespace Mux {

void Set::zero() {
  FD_ZERO(&set_);
  max_ = -1;
}

bool Set::set(int fd) {
  if (fd < 0 || fd >= FD_SETSIZE) return false;
  FD_SET(fd, &set_);
  if (fd > max_) max_ = fd;
  return true;
}

void Set::clr(int fd) {
  if (fd < 0 || fd >= FD_SETSIZE) return;
  FD_CLR(fd, &set_);
  while (max_ >= 0 && !FD_ISSET(max_, &set_)) --max_;
}

bool Set::isset(int fd) const { return fd >= 0 && fd < FD_SETSIZE && FD_ISSET(fd, &set_); }

int max_fd(const Set& a, const Set& b) { return a.max_fd() > b.max_fd() ? a.max_fd() : b.max_fd(); }

int max_fd(const Set& a, const Set& b, const Set& c) {
  int ab = max_fd(a, b);
  return ab > c.max_fd() ? ab : c.max_fd();
}

namespace {
fd_set* orNull(Set* s) { return s && s->max_fd() >= 0 ? s->get() : nullptr; }

int highest(Set* a, Set* b, Set* c) {
  int m = -1;
  for (Set* s : {a, b, c})
    if (s && s->max_fd() > m) m = s->max_fd();
  return m;
}

int doSelect(Set* rd, Set* wr, Set* ex, timeval* timeout) {
  struct ::timeval tv;
  struct ::timeval* limit = nullptr;
  if (timeout) {
    tv.tv_sec = timeout->tv_sec;
    tv.tv_usec = timeout->tv_usec;
    limit = &tv;
  }
  int result = ::select(highest(rd, wr, ex) + 1, orNull(rd), orNull(wr), orNull(ex), limit);
  if (timeout) *timeout = {int32_t(tv.tv_sec), int32_t(tv.tv_usec)};
  return result;
}
}  // namespace

int select(Set& rd) { return doSelect(&rd, nullptr, nullptr, nullptr); }
int select(Set& rd, Set& wr) { return doSelect(&rd, &wr, nullptr, nullptr); }
int select(Set& rd, Set& wr, Set& ex) { return doSelect(&rd, &wr, &ex, nullptr); }
int select(Set& rd, timeval& timeout) { return doSelect(&rd, nullptr, nullptr, &timeout); }
int select(Set& rd, Set& wr, timeval& timeout) { return doSelect(&rd, &wr, nullptr, &timeout); }
int select(Set& rd, Set& wr, Set& ex, timeval& timeout) { return doSelect(&rd, &wr, &ex, &timeout); }
int select_rd(Set& rd, timeval& timeout) { return doSelect(&rd, nullptr, nullptr, &timeout); }
int select_wr(Set& wr, timeval& timeout) { return doSelect(nullptr, &wr, nullptr, &timeout); }

}  // namespace Mux
