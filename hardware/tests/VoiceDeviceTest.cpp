// The voice driver client against the simulated driver: the version's five
// words in their order, none when the request is refused, and the channel
// count of a codec type or the refusal's errno.

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "hardware/VoiceDevice.h"
#include "testing/Board.h"

namespace {

namespace Voice = Board::Dev::Voice;
using Testing::control;

TEST(VoiceDevice, VersionWordsInOrderOrNoneWhenRefused) {
  const struct {
    const char* fault;
    bool valid;
    VoiceDevice::Version words;
  } cases[] = {
      {"", true, {7, 0x80000000, 0, 0xFFFFFFFF, 1}},
      {"EIO", false, {0, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    Board::Sim::reset();
    control("voice version 7 0x80000000 0 0xFFFFFFFF 1");
    if (*c.fault) control("fail voice ioctl " + std::to_string(Voice::GetVersion) + " " + c.fault);
    const Fd voice = VoiceDevice::open();
    ASSERT_TRUE(voice);
    VoiceDevice::Version words;
    words.fill(0x55);
    EXPECT_EQ(VoiceDevice::version(voice, words), c.valid) << c.fault;
    EXPECT_EQ(words, c.words) << c.fault;
  }
}

TEST(VoiceDevice, ChannelCountsByTypeOrTheRefusalsErrno) {
  Board::Sim::reset();
  control("voice channels 4 30");
  control("voice channels 65 2");
  const Fd voice = VoiceDevice::open();
  EXPECT_EQ(VoiceDevice::countChannels(voice, Voice::G729), 30);
  EXPECT_EQ(VoiceDevice::countChannels(voice, Voice::Universal), 2);
  EXPECT_EQ(VoiceDevice::countChannels(voice, Voice::G723), 0);
  errno = 0;
  EXPECT_EQ(VoiceDevice::countChannels(voice, 3), -1);
  EXPECT_EQ(errno, EINVAL);
  control("absent voice");
  errno = 0;
  const Fd absent = VoiceDevice::open();
  EXPECT_EQ(errno, ENOENT);
  EXPECT_FALSE(absent);
}

}  // namespace
