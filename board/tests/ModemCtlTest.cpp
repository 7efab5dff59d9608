// The simulated modem control device and the generic-HDLC requests of the
// interface model: enumeration, allocation per open file released with its
// last descriptor, the journaled modem requests, the settings requests.

#include "board/Board.h"
#include "board/dev/Mctl.h"
#include "board/sim/Sim.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/sockios.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <tuple>

namespace {

namespace Ctl = Board::Dev::Mctl;
namespace Wan = Board::Dev::HdlcIface;
using Lines = std::vector<std::string>;

int open() { return Board::open(Board::Paths::path(Ctl::Path).c_str(), O_RDWR | O_CLOEXEC); }
int result(int r) { return r < 0 ? -errno : r; }
int word(int fd, uint32_t request, int32_t modem, int32_t value) {
  uint8_t record[Ctl::Parameter::Size] = {};
  Board::RecordWriter out(record, sizeof record);
  out.put(Ctl::Parameter::Modem, modem);
  out.put(Ctl::Parameter::Offset, value);
  out.put(Ctl::Parameter::Value, value + 1);
  return result(Board::ioctl(fd, request, record));
}

TEST(ModemCtl, ModemsAreAllocatedPerOpenFileAndTheirRequestsJournaled) {
  Board::Sim::reset();
  for (const char* line : {"mctl add 5 300", "mctl add 2 301"}) ASSERT_EQ(Board::Sim::control(line).back(), "OK");
  const int a = open(), b = open(), c = open();
  EXPECT_EQ(result(Board::ioctlValue(a, Ctl::Enumerate, (unsigned long)-1L)), 2);
  EXPECT_EQ(result(Board::ioctlValue(a, Ctl::Enumerate, 2)), 5);
  EXPECT_EQ(result(Board::ioctlValue(a, Ctl::Enumerate, 5)), -ENODEV);
  EXPECT_EQ(result(Board::ioctlValue(a, Ctl::Timeslot, 0)), -EINVAL);
  EXPECT_EQ(result(Board::ioctlValue(a, Ctl::Allocate, 0)), 2);
  EXPECT_EQ(result(Board::ioctlValue(a, Ctl::Allocate, 0)), -EBUSY);
  EXPECT_EQ(result(Board::ioctlValue(b, Ctl::Allocate, 0)), 5);
  EXPECT_EQ(result(Board::ioctlValue(c, Ctl::Allocate, 0)), -EBUSY);
  EXPECT_EQ(result(Board::ioctlValue(b, Ctl::Timeslot, 0)), 300);
  const struct {
    uint32_t request;
    int32_t modem;
    int expected;
  } requests[] = {{Ctl::SetDdm, 5, 0}, {Ctl::SetDmp, 5, 0},          {Ctl::ResetDmp, 5, 0},    {Ctl::SetDmp, 5, 0},
                  {Ctl::Answer, 5, 0}, {Ctl::Originate, 2, -EINVAL}, {Ctl::OriginateFax, 5, 0}};
  for (const auto& r : requests) EXPECT_EQ(word(b, r.request, r.modem, 6), r.expected) << std::hex << r.request;
  EXPECT_EQ(Board::Sim::control("mctl modems"),
            (Lines{"2 channel=301 allocated ddm=0x0 dmp= call=idle",
                   "5 channel=300 allocated ddm=0x6 dmp=6=7 call=originate-fax", "OK"}));
  Lines journal;
  for (const std::string& line : Board::Sim::control("mctl journal"))
    journal.push_back(line.substr(line.find(' ') + 1));
  EXPECT_EQ(journal, (Lines{"allocate", "allocate", "allocate", "allocate", "ddm 5 flags=0x6", "dmp 5 6=7",
                            "dmp-reset 5", "dmp 5 6=7", "answer 5", "originate 2", "originate-fax 5", "OK"}));
  const int kept = ::dup(b);
  Board::close(b);
  EXPECT_EQ(result(Board::ioctlValue(c, Ctl::Allocate, 0)), -EBUSY);
  Board::close(kept);
  EXPECT_EQ(result(Board::ioctlValue(c, Ctl::Allocate, 0)), 5);
  EXPECT_EQ(Board::Sim::control("mctl modems")[1], "5 channel=300 allocated ddm=0x0 dmp= call=idle");
  for (int fd : {a, c}) Board::close(fd);
}

// The switch itself and the channel are the digital modem's (media tests).
TEST(ModemCtl, OnlyGenericHdlcInterfacesTakeSettingsRequests) {
  Board::Sim::reset();
  for (const char* line : {"net add hdlc0 none 0x10", "net add eth0 none 0x41", "net wan hdlc0 310"}) {
    ASSERT_EQ(Board::Sim::control(line).back(), "OK");
  }
  const int sock = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  uint8_t settings[Wan::IfaceSize];
  for (const auto& [name, size, expected] :
       {std::tuple{"hdlc0", 16u, -ENOBUFS}, {"eth0", 128u, -EINVAL}, {"hdlc9", 128u, -ENODEV}}) {
    ifreq r{};
    std::strncpy(r.ifr_name, name, IFNAMSIZ - 1);
    Wan::putSettings(r, Wan::Settings{Wan::GetIface, size, settings});
    EXPECT_EQ(result(Board::interfaceIoctl(sock, SIOCWANDEV, &r)), expected) << name;
  }
  EXPECT_EQ(Board::Sim::control("net wan eth7 1").back(), "ERR no such interface: eth7");
  ::close(sock);
}

}  // namespace
