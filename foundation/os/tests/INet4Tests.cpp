// IPv4 addresses from text, and their text.

#include <gtest/gtest.h>

#include "foundation/os/INet4.h"

namespace {

TEST(INet4Addr, AssignWithAndWithoutPort) {
  INet4::Addr a;
  EXPECT_EQ("0.0.0.0:0", a.GetString()) << "the port is always written";
  int port = 0;
  EXPECT_EQ(1, a.Assign("10.1.2.3:20001", &port));
  EXPECT_EQ(20001, port);
  EXPECT_EQ("10.1.2.3:20001", a.GetString());
  EXPECT_EQ(1, a.Assign("127.0.0.1", &port));
  EXPECT_EQ(-1, port);
  EXPECT_EQ("127.0.0.1:20001", a.GetString()) << "no colon: the port stays";
  EXPECT_EQ((std::vector<unsigned char>{127, 0, 0, 1}), a.GetVector());
}

TEST(INet4Addr, RefusedAddressKeepsTheOldOneButStoresThePort) {
  INet4::Addr a, b;
  a.Assign("10.0.0.1:1", nullptr);
  int port = 0;
  EXPECT_EQ(0, a.Assign("300.1.1.1:80", &port));
  EXPECT_EQ(80, port);
  EXPECT_EQ("10.0.0.1:80", a.GetString());
  EXPECT_EQ(0, a.Assign("", &port));
  EXPECT_EQ(0, a.Assign("host.example:25", &port));
  EXPECT_EQ(0, a.Assign(static_cast<const char*>(nullptr), &port));
  EXPECT_EQ(1, a.Assign("10.0.0.2:notaport", &port));
  EXPECT_EQ(0, port) << "a port that is no number reads as 0";
  b.Assign("10.0.0.2:0", nullptr);
  EXPECT_TRUE(a.IsEqual(b));
  b.set_port(1);
  EXPECT_FALSE(a.IsEqual(b));
}

}  // namespace
