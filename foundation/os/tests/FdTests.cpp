// Owned descriptors: emptiness, duplicates, and who closes what.

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "foundation/os/Fd.h"

namespace {

bool cloexec(int fd) { return fcntl(fd, F_GETFD) & FD_CLOEXEC; }
bool isOpen(int fd) { return fcntl(fd, F_GETFD) != -1; }

Fd pipeEnd() {
  int fds[2];
  EXPECT_EQ(0, pipe(fds));
  close(fds[1]);
  return Fd(fds[0]);
}

TEST(Fd, EmptyDescriptor) {
  Fd empty;
  errno = 0;
  EXPECT_EQ(-1, empty.close());
  EXPECT_EQ(EBADF, errno);
  EXPECT_FALSE(empty.dup());
  EXPECT_FALSE(empty.NonBlock());
  EXPECT_FALSE(Fd(-5));
  EXPECT_TRUE(SetCloexec(-1, true)) << "the result reports the failure";
}

TEST(Fd, CopiesAreCloseOnExecDuplicatesClosedWithTheirOwner) {
  Fd a = pipeEnd();
  EXPECT_TRUE(cloexec(a.get()));
  int seen = -1;
  bool openInCallee = false;
  auto callee = [&](Fd theirs) {
    seen = theirs.get();
    openInCallee = isOpen(seen) && cloexec(seen);
  };
  callee(a);
  EXPECT_TRUE(openInCallee) << "a copy is a live duplicate while its holder runs";
  EXPECT_NE(a.get(), seen);
  EXPECT_FALSE(isOpen(seen)) << "the callee's duplicate is closed when it returns";
  EXPECT_TRUE(isOpen(a.get()));

  Fd b = pipeEnd();
  int old = b.get();
  b = a;
  EXPECT_FALSE(isOpen(old)) << "assignment closes the descriptor held before";
  EXPECT_TRUE(cloexec(b.get()));
  b = b;
  EXPECT_TRUE(isOpen(b.get())) << "self-assignment keeps the descriptor";
  int kept = a.get();
  EXPECT_EQ(0, a.close());
  EXPECT_FALSE(a);
  EXPECT_FALSE(isOpen(kept));
}

}  // namespace
