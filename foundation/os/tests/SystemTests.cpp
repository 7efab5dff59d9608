// Signals, select and the host's interfaces.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <list>

#include "foundation/os/Fd.h"
#include "foundation/os/Net.h"
#include "foundation/os/Select.h"
#include "foundation/os/Signal.h"

namespace {

void plain(int) {}
void withInfo(int, siginfo_t*, void*) {}

struct sigaction current(int signo) {
  struct sigaction a;
  sigaction(signo, nullptr, &a);
  return a;
}

TEST(Signal, HandlersMasksAndFlags) {
  using namespace IPC::Signal;
  EXPECT_EQ(0, handle(SIGUSR1, plain, Set(SIGHUP, SIGTERM), SA_RESTART | SA_SIGINFO));
  struct sigaction a = current(SIGUSR1);
  EXPECT_EQ(plain, a.sa_handler);
  EXPECT_TRUE(a.sa_flags & SA_RESTART);
  EXPECT_FALSE(a.sa_flags & SA_SIGINFO) << "a one-argument handler never gets SA_SIGINFO";
  EXPECT_TRUE(sigismember(&a.sa_mask, SIGHUP));
  EXPECT_TRUE(sigismember(&a.sa_mask, SIGTERM));
  EXPECT_FALSE(sigismember(&a.sa_mask, SIGINT));

  EXPECT_EQ(0, handle(SIGUSR1, withInfo, 0));
  a = current(SIGUSR1);
  EXPECT_EQ(withInfo, a.sa_sigaction);
  EXPECT_TRUE(a.sa_flags & SA_SIGINFO);
  EXPECT_FALSE(sigismember(&a.sa_mask, SIGHUP));

  EXPECT_EQ(0, disable_int(SIGUSR1));
  EXPECT_TRUE(current(SIGUSR1).sa_flags & SA_RESTART);
  EXPECT_EQ(0, enable_int(SIGUSR1));
  EXPECT_FALSE(current(SIGUSR1).sa_flags & SA_RESTART);

  EXPECT_EQ(0, ignore(SIGUSR1));
  EXPECT_EQ(SIG_IGN, current(SIGUSR1).sa_handler);
  EXPECT_EQ(0, IPC::Signal::system(SIGUSR1));
  EXPECT_EQ(SIG_DFL, current(SIGUSR1).sa_handler);
  EXPECT_NE(0, ignore(0));
  EXPECT_TRUE(Set::is_signal(SIGCHLD));
  EXPECT_FALSE(Set::is_signal(0));
  EXPECT_FALSE(Set::is_signal(100000));
}

TEST(Select, SetsAndReadiness) {
  Mux::Set rd, wr;
  EXPECT_EQ(-1, rd.max_fd());
  EXPECT_FALSE(rd.set(FD_SETSIZE)) << "outside the set: refused, not written past it";
  EXPECT_FALSE(rd.set(-1));
  int fds[2];
  ASSERT_EQ(0, pipe(fds));
  Fd r(fds[0]), w(fds[1]);
  rd.set(r.get());
  wr.set(w.get());
  EXPECT_EQ(std::max(r.get(), w.get()), Mux::max_fd(rd, wr));
  Mux::timeval none = {0, 0};
  EXPECT_EQ(0, Mux::select_rd(rd, none));
  ASSERT_EQ(1, write(w.get(), "x", 1));
  rd.set(r.get());  // select() keeps only the ready members
  Mux::timeval wait = {1, 0};
  EXPECT_EQ(1, Mux::select_rd(rd, wait));
  EXPECT_TRUE(rd.isset(r.get()));
  Mux::Set empty;
  wait = {0, 0};
  EXPECT_EQ(1, Mux::select(empty, wr, wait)) << "an empty set is passed as none";
  rd.clr(r.get());
  EXPECT_EQ(-1, rd.max_fd());
}

bool isPrivate(const INet4::Addr& a) {
  unsigned ip = ntohl(a.address().s_addr);
  return (ip >> 24) == 10 || (ip >> 20) == (172u << 4 | 1) || (ip >> 16) == (192u << 8 | 168);
}

TEST(Net, InterfaceSelection) {
  std::list<INet4::Addr> all, notLo, priv;
  int n = Net::ifconfig(all, Net::ifAll);
  ASSERT_GE(n, 0);
  EXPECT_EQ(size_t(n), all.size());
  bool hasLoopback = false;
  for (const auto& a : all) hasLoopback |= a.GetString() == "127.0.0.1:0";
  Net::ifconfig(notLo, Net::ifNotLoopback);
  for (const auto& a : notLo) EXPECT_NE("127.0.0.1:0", a.GetString());
  EXPECT_EQ(all.size() - (hasLoopback ? 1 : 0), notLo.size());
  Net::ifconfig(priv, Net::ifPrivate);
  for (const auto& a : priv) EXPECT_TRUE(isPrivate(a)) << a;

  std::list<std::string> names;
  int up = Net::ifconfig(names, Net::ifAll, 1 /* IFF_UP */);
  EXPECT_EQ(size_t(up), names.size());
  if (hasLoopback) {
    EXPECT_NE(names.end(), std::find(names.begin(), names.end(), "lo"));
  }
  EXPECT_FALSE(Net::hostname().empty());
}

}  // namespace
