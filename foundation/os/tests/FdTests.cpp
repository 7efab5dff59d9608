// Owned descriptors and their mode helpers.

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
  EXPECT_FALSE(empty);
  errno = 0;
  EXPECT_EQ(-1, empty.close());
  EXPECT_EQ(EBADF, errno);
  EXPECT_FALSE(empty.dup());
  EXPECT_FALSE(empty.NonBlock());
  EXPECT_FALSE(Fd(-5)) << "a negative number is no descriptor";
}

TEST(Fd, OwnershipCopiesAndClose) {
  Fd a = pipeEnd();
  ASSERT_TRUE(a);
  EXPECT_TRUE(cloexec(a.get())) << "taken over descriptors are close-on-exec";
  int raw;
  {
    Fd copy(a);
    raw = copy.get();
    EXPECT_NE(a.get(), raw);
    EXPECT_TRUE(cloexec(raw));
  }
  EXPECT_FALSE(isOpen(raw)) << "a copy is closed with its Fd";
  EXPECT_TRUE(isOpen(a.get()));

  Fd b = pipeEnd();
  int old = b.get();
  b = a;
  EXPECT_FALSE(isOpen(old)) << "assignment closes the descriptor held before";
  EXPECT_NE(a.get(), b.get());
  b = b;
  EXPECT_TRUE(b) << "self-assignment keeps the descriptor";

  int kept = a.get();
  EXPECT_EQ(0, a.close());
  EXPECT_FALSE(a);
  EXPECT_FALSE(isOpen(kept));
}

TEST(Fd, PassingByValueHandsTheCalleeItsOwnDuplicate) {
  Fd mine = pipeEnd();
  int seen = -1;
  auto callee = [&](Fd theirs) { seen = theirs.get(); };
  callee(mine);
  EXPECT_NE(mine.get(), seen);
  EXPECT_FALSE(isOpen(seen));
  EXPECT_TRUE(isOpen(mine.get()));
}

TEST(Fd, BlockingModeAndCloseOnExecFlags) {
  Fd fd = pipeEnd();
  EXPECT_TRUE(fd.NonBlock());
  EXPECT_TRUE(fcntl(fd.get(), F_GETFL) & O_NONBLOCK);
  EXPECT_TRUE(BlockMode(fd.get()));
  EXPECT_FALSE(fcntl(fd.get(), F_GETFL) & O_NONBLOCK);
  EXPECT_FALSE(SetCloexec(fd.get(), false));
  EXPECT_FALSE(cloexec(fd.get()));
  EXPECT_FALSE(SetCloexec(fd.get(), true));
  EXPECT_TRUE(cloexec(fd.get()));
  EXPECT_FALSE(NonBlockMode(-1));
  EXPECT_FALSE(BlockMode(-1));
  EXPECT_TRUE(SetCloexec(-1, true)) << "the result reports the failure";
}

}  // namespace
