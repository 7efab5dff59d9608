// IPv4 addresses from text, and their text.

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <sstream>

#include "foundation/os/INet4.h"

namespace {

TEST(INet4Addr, ResetAndPutAlwaysWriteThePort) {
  INet4::Addr a;
  EXPECT_EQ(AF_INET, a.in().sin_family);
  EXPECT_EQ("0.0.0.0:0", a.GetString());
  a.Assign("10.1.2.3:20001", nullptr);
  a.Reset();
  std::ostringstream out;
  a.Put(out);
  EXPECT_EQ("0.0.0.0:0", out.str());
}

TEST(INet4Addr, AssignWithAndWithoutPort) {
  INet4::Addr a;
  int port = 0;
  EXPECT_EQ(1, a.Assign("10.1.2.3:20001", &port));
  EXPECT_EQ(20001, port);
  EXPECT_EQ(htons(20001), a.in().sin_port);
  EXPECT_EQ("10.1.2.3:20001", a.GetString());

  EXPECT_EQ(1, a.Assign("127.0.0.1", &port));
  EXPECT_EQ(-1, port);
  EXPECT_EQ("127.0.0.1:20001", a.GetString()) << "no colon: the port stays";
  EXPECT_EQ(1, a.Assign(std::string("192.168.1.10"), nullptr));
  EXPECT_EQ("192.168.1.10:20001", a.GetString());
}

TEST(INet4Addr, RefusedAddressKeepsTheOldOneButStoresThePort) {
  INet4::Addr a;
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
  EXPECT_EQ("10.0.0.2:0", a.GetString());
}

TEST(INet4Addr, EqualityNumericAssignAndBytes) {
  INet4::Addr a, b;
  a.Assign("10.1.2.3:5", nullptr);
  b.Assign("10.1.2.3:6", nullptr);
  EXPECT_FALSE(a.IsEqual(b));
  b.set_port(5);
  EXPECT_TRUE(a.IsEqual(b));
  b.Assign((unsigned long)inet_addr("10.1.2.4"));
  EXPECT_FALSE(a.IsEqual(b));
  EXPECT_EQ((std::vector<unsigned char>{10, 1, 2, 4}), b.GetVector());
  EXPECT_EQ(5, b.port());
  EXPECT_EQ(16u, INet4::Addr::size());
}

}  // namespace
