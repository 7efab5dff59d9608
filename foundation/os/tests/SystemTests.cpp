// Descriptor sets at their limit and the host's interfaces.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/if.h>

#include <algorithm>
#include <list>

#include "foundation/os/Net.h"
#include "foundation/os/Select.h"

namespace {

TEST(Select, DescriptorsOutsideTheSetAreRefused) {
  Mux::Set rd;
  EXPECT_FALSE(rd.set(FD_SETSIZE)) << "refused, not written past the set";
  EXPECT_FALSE(rd.set(-1));
  EXPECT_EQ(-1, rd.max_fd());
  Mux::timeval none = {0, 0};
  EXPECT_EQ(0, Mux::select_rd(rd, none)) << "an empty set is passed as none";
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
  bool hasLoopback = std::any_of(all.begin(), all.end(), [](const INet4::Addr& a) {
    return a.GetString() == "127.0.0.1:0";
  });
  Net::ifconfig(notLo, Net::ifNotLoopback);
  EXPECT_EQ(all.size() - (hasLoopback ? 1 : 0), notLo.size());
  Net::ifconfig(priv, Net::ifPrivate);
  for (const auto& a : priv) EXPECT_TRUE(isPrivate(a)) << a;
  std::list<std::string> names;
  int up = Net::ifconfig(names, Net::ifAll, IFF_UP);
  EXPECT_EQ(size_t(up), names.size());
  if (hasLoopback) {
    EXPECT_NE(names.end(), std::find(names.begin(), names.end(), "lo"));
  }
}

}  // namespace
