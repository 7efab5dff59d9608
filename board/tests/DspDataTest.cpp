// The simulated DSP data device: a link per open file with its D channel,
// B channels added and released by index (and refused out of turn), frames
// both ways through the D channel's far-end socket, and the link's end with
// its file.

#include "board/Board.h"
#include "board/Record.h"
#include "board/dev/DspData.h"
#include "board/sim/FarEndClient.h"
#include "board/sim/MccFarEnds.h"
#include "board/sim/Sim.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>

namespace {

using Lines = std::vector<std::string>;
namespace Dsp = Board::Dev::DspData;

// A B-channel request's result, with errno on failure, and the channel it left in the record.
std::pair<int, int32_t> bChannel(int fd, uint32_t request, int32_t index, int32_t tdm) {
  uint8_t record[Dsp::BChannel::Size];
  Board::RecordWriter out(record, sizeof record);
  out.put(Dsp::BChannel::Index, index);
  out.put(Dsp::BChannel::Tdm, tdm);
  const int r = Board::ioctl(fd, request, record);
  return {r < 0 ? -errno : r, Board::RecordReader(record, sizeof record).get(Dsp::BChannel::Tdm)};
}

TEST(DspDataDevice, LinksHandOutBChannelsAndCarryFrames) {
  Board::Sim::reset();
  const std::string path = Board::Paths::path(Dsp::Path);
  const int first = Board::open(path.c_str(), O_RDWR | O_NONBLOCK);
  const int second = Board::open(path.c_str(), O_RDWR | O_NONBLOCK);
  uint32_t scratch = 0;
  EXPECT_EQ(Board::ioctl(second, Dsp::DChannel, &scratch), 516);
  using Result = std::pair<int, int32_t>;
  EXPECT_EQ(bChannel(first, Dsp::AddBChannel, 2, -1), Result(0, 515));
  EXPECT_EQ(bChannel(first, Dsp::AddBChannel, 2, -1), Result(-EBUSY, -1));
  EXPECT_EQ(bChannel(first, Dsp::AddBChannel, 3, -1), Result(-EINVAL, -1));
  EXPECT_EQ(bChannel(first, Dsp::ReleaseBChannel, 2, 513), Result(-EINVAL, 513));
  EXPECT_EQ(Board::Sim::control("dsp-data links"), (Lines{"512 b0=- b1=- b2=515", "516 b0=- b1=- b2=-", "OK"}));
  EXPECT_EQ(bChannel(first, Dsp::ReleaseBChannel, 2, 515), Result(0, 515));

  Board::Sim::FarEndClient pbx;
  ASSERT_TRUE(pbx.connectPath(Board::Sim::MccFarEnds::path(512, Board::Paths::SimDspDataFarEnd), 1000));
  while (Board::Sim::control("dsp-data farend 512")[0].find(" attached") == std::string::npos) {
  }
  EXPECT_EQ(Board::write(first, "\x00\x01\x7F", 3), 3);
  std::string frame;
  ASSERT_TRUE(pbx.receive(frame));
  EXPECT_EQ(frame, std::string("\x00\x01\x7F", 3));
  const std::string tooLong(Dsp::MaxFrame + 1, 'x');
  EXPECT_EQ(Board::write(first, tooLong.data(), tooLong.size()), -1);
  EXPECT_EQ(errno, EMSGSIZE);
  ASSERT_TRUE(pbx.send(tooLong));  // dropped: the next read is the frame after it
  ASSERT_TRUE(pbx.send(std::string("\x00\x01\x73", 3)));
  pollfd p{first, POLLIN, 0};
  char buf[16];
  ASSERT_EQ(::poll(&p, 1, 1000), 1);
  EXPECT_EQ(std::string(buf, size_t(Board::read(first, buf, sizeof buf))), std::string("\x00\x01\x73", 3));

  Board::close(first);
  EXPECT_EQ(Board::Sim::control("dsp-data links"), (Lines{"516 b0=- b1=- b2=-", "OK"}));
  EXPECT_FALSE(pbx.receive(frame, 500));  // the link's line went with it
  Board::close(second);
}

}  // namespace
