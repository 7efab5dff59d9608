// Descriptor sets at their limit and the board's interfaces.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/if.h>

#include <list>

#include "board/sim/Sim.h"
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

// The interfaces as the board reports them: on the simulated board, its
// network-interface model, set up here.
TEST(Net, InterfaceSelectionByModeAndFlags) {
  Board::Sim::reset();
  for (const char* line : {"net add eth0 192.168.1.10 0x41", "net add eth1 169.254.3.4 0x1", "net add hdlc0 none 0x51",
                           "net add LO 10.1.1.1 0x0"}) {
    ASSERT_EQ(Board::Sim::control(line).back(), "OK") << line;
  }
  const struct {
    Net::ifconfig_mode_t mode;
    std::list<std::string> addresses;
  } cases[] = {
      {Net::ifAll, {"127.0.0.1:0", "192.168.1.10:0", "169.254.3.4:0", "10.1.1.1:0"}},
      {Net::ifNotLoopback, {"192.168.1.10:0", "169.254.3.4:0"}},
      {Net::ifLinkLocal, {"169.254.3.4:0"}},
      {Net::ifPrivate, {"192.168.1.10:0", "10.1.1.1:0"}},
      {Net::ifLinkLocal | Net::ifPrivate, {"192.168.1.10:0", "169.254.3.4:0", "10.1.1.1:0"}},
  };
  for (const auto& k : cases) {
    std::list<INet4::Addr> found;
    EXPECT_EQ(Net::ifconfig(found, k.mode), int(k.addresses.size())) << k.mode;
    std::list<std::string> text;
    for (const auto& a : found) text.push_back(a.GetString());
    EXPECT_EQ(text, k.addresses) << k.mode;
  }
  std::list<std::string> names;
  EXPECT_EQ(Net::ifconfig(names, Net::ifAll, IFF_UP | IFF_RUNNING), 2);
  EXPECT_EQ(names, (std::list<std::string>{"lo", "eth0"}));

  // An interface whose address cannot be read is left out; a list that cannot be read is -1.
  std::list<INet4::Addr> found;
  ASSERT_EQ(Board::Sim::control("fail net ioctl 0x8915 EIO").back(), "OK");
  EXPECT_EQ(Net::ifconfig(found, Net::ifAll), 0);
  ASSERT_EQ(Board::Sim::control("fail net ioctl 0x8912 ENOMEM").back(), "OK");
  EXPECT_EQ(Net::ifconfig(found, Net::ifAll), -1);
  EXPECT_TRUE(found.empty());
  Board::Sim::reset();
}

}  // namespace
