// The panel of the board-control device: the DIP and power bytes a test sets
// and the daemon reads, the LED byte the daemon writes, and the device
// absent then present.

#include "board/Board.h"
#include "board/dev/Hal.h"
#include "board/sim/Sim.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>

using Lines = std::vector<std::string>;
namespace Panel = Board::Dev::Hal::Panel;

namespace {

// The byte the request leaves in its record, or -errno.
int request(int fd, uint32_t req, uint8_t byte) {
  uint8_t record[Panel::Record::Size] = {byte};
  if (Board::ioctl(fd, req, record) < 0) return -errno;
  return record[0];
}

}  // namespace

TEST(HalPanel, BytesSetByATestAreReadAndTheLedsWrittenAreKept) {
  Board::Sim::reset();
  EXPECT_EQ(Board::Sim::control("absent /dev/hal"), Lines{"OK"});
  EXPECT_EQ(Board::open(Board::Dev::Hal::Path, O_RDWR), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(Board::Sim::control("present hal"), Lines{"OK"});
  const int fd = Board::open(Board::Dev::Hal::Path, O_RDWR);
  ASSERT_GE(fd, 0);

  EXPECT_EQ(Board::Sim::control("hal panel leds"), (Lines{"none", "OK"}));
  EXPECT_EQ(request(fd, Panel::ReadDip, 0x77), 0x00);
  for (const char* line : {"hal panel dip 0xA5", "hal panel power 3"})
    EXPECT_EQ(Board::Sim::control(line), Lines{"OK"}) << line;
  EXPECT_EQ(request(fd, Panel::ReadDip, 0), 0xA5);
  EXPECT_EQ(request(fd, Panel::ReadPower, 0), 0x03);
  EXPECT_EQ(request(fd, Panel::WriteLeds, 0x81), 0x81);
  EXPECT_EQ(Board::Sim::control("hal panel power"), (Lines{"0x03", "OK"}));
  EXPECT_EQ(Board::Sim::control("hal panel leds"), (Lines{"0x81", "OK"}));
  EXPECT_EQ(Board::Sim::control("hal panel requests"),
            (Lines{"dip 0x00", "dip 0xA5", "power 0x03", "leds 0x81", "OK"}));
  EXPECT_EQ(Board::Sim::control("hal panel dip 256"), Lines{"ERR bad byte: 256"});
  EXPECT_EQ(Board::Sim::control("hal panel dip 1 2"), Lines{"ERR usage: hal panel dip [BYTE]"});
  EXPECT_EQ(Board::Sim::control("hal panel clear"), Lines{"OK"});
  EXPECT_EQ(Board::Sim::control("hal panel requests"), Lines{"OK"});
  // The LED request is 0xC0014207: the PowerPC encoding of _IOWR('B', 7, 1).
  EXPECT_EQ(Panel::WriteLeds, 0xC0014207u);
  Board::close(fd);
}
