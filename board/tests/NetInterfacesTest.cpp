// Interface requests on a socket, answered by the board's network-interface
// model as the kernel answers them.

#include "board/Board.h"
#include "board/sim/Sim.h"

#include <gtest/gtest.h>

#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

using Lines = std::vector<std::string>;

namespace {

class NetInterfaces : public ::testing::Test {
protected:
  void SetUp() override {
    Board::Sim::reset();
    ASSERT_GE(sock, 0);
    for (const char* line : {"net add eth0 192.168.1.10 0x41", "net add hdlc0 none 0x51"}) {
      ASSERT_EQ(Board::Sim::control(line).back(), "OK") << line;
    }
  }
  void TearDown() override { ::close(sock); }

  // The request's result, or -errno.
  int request(unsigned long request, ifreq& r) { return Board::interfaceIoctl(sock, request, &r) < 0 ? -errno : 0; }
  static ifreq named(const char* name) {
    ifreq r{};
    std::strncpy(r.ifr_name, name, IFNAMSIZ - 1);
    return r;
  }

  // A raw packet socket, as the monitoring samples interfaces on: the board
  // stands in for it, no root rights needed.
  int sock = Board::interfaceSocket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 255);
};

}  // namespace

TEST_F(NetInterfaces, NamesIndexesFlagsAndAddresses) {
  EXPECT_EQ(Board::Sim::control("net interfaces"),
            (Lines{"1 lo 127.0.0.1 flags=0x49", "2 eth0 192.168.1.10 flags=0x41", "3 hdlc0 none flags=0x51", "OK"}));
  ifreq r = named("hdlc0");
  ASSERT_EQ(request(SIOCGIFINDEX, r), 0);
  EXPECT_EQ(r.ifr_ifindex, 3);
  ASSERT_EQ(request(SIOCGIFFLAGS, r), 0);
  EXPECT_EQ(r.ifr_flags, IFF_UP | IFF_POINTOPOINT | IFF_RUNNING);
  EXPECT_EQ(request(SIOCGIFADDR, r), -EADDRNOTAVAIL);
  r = ifreq{};
  r.ifr_ifindex = 2;
  ASSERT_EQ(request(SIOCGIFNAME, r), 0);
  EXPECT_STREQ(r.ifr_name, "eth0");
  ASSERT_EQ(request(SIOCGIFADDR, r), 0);
  EXPECT_EQ(reinterpret_cast<sockaddr_in&>(r.ifr_addr).sin_addr.s_addr, htonl(0xC0A8010A));

  for (unsigned long req : {SIOCGIFINDEX, SIOCGIFFLAGS, SIOCGIFADDR}) {
    r = named("eth9");
    EXPECT_EQ(request(req, r), -ENODEV) << req;
  }
  r.ifr_ifindex = 4;
  EXPECT_EQ(request(SIOCGIFNAME, r), -ENODEV);
  // A removed interface's index is given to the next one added.
  EXPECT_EQ(Board::Sim::control("net remove eth0"), Lines{"OK"});
  EXPECT_EQ(Board::Sim::control("net add eth1 10.0.0.1 1"), Lines{"OK"});
  r = named("eth1");
  ASSERT_EQ(request(SIOCGIFINDEX, r), 0);
  EXPECT_EQ(r.ifr_ifindex, 2);
}

TEST_F(NetInterfaces, TheListHoldsTheInterfacesWithAnAddressThatFit) {
  ifreq records[4];
  ifconf conf{};
  conf.ifc_len = int(sizeof records[0]);  // room for one
  conf.ifc_req = records;
  ASSERT_EQ(Board::interfaceIoctl(sock, SIOCGIFCONF, &conf), 0);
  EXPECT_EQ(conf.ifc_len, int(sizeof records[0]));
  EXPECT_STREQ(records[0].ifr_name, "lo");
  conf.ifc_len = int(sizeof records);
  ASSERT_EQ(Board::interfaceIoctl(sock, SIOCGIFCONF, &conf), 0);
  EXPECT_EQ(conf.ifc_len, int(2 * sizeof records[0]));
  EXPECT_STREQ(records[1].ifr_name, "eth0");
  EXPECT_EQ(records[1].ifr_addr.sa_family, AF_INET);
  // Without a buffer: the length the whole list needs.
  conf.ifc_req = nullptr;
  conf.ifc_len = 0;
  ASSERT_EQ(Board::interfaceIoctl(sock, SIOCGIFCONF, &conf), 0);
  EXPECT_EQ(conf.ifc_len, int(2 * sizeof records[0]));
}

TEST_F(NetInterfaces, RequestsNeedASocket) {
  ifreq r = named("lo");
  EXPECT_EQ(Board::interfaceIoctl(-1, SIOCGIFFLAGS, &r), -1);
  EXPECT_EQ(errno, EBADF);
  int pipe[2];
  ASSERT_EQ(::pipe(pipe), 0);
  EXPECT_EQ(Board::interfaceIoctl(pipe[0], SIOCGIFFLAGS, &r), -1);
  EXPECT_EQ(errno, ENOTTY);
  ::close(pipe[0]);
  ::close(pipe[1]);
  EXPECT_EQ(request(SIOCSIFADDR, r), -ENOTTY);
}
