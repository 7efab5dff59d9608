// The frame trace: the texts of real Q.921 and Q.931 frames byte for byte,
// and truncated, hostile and oversized frames read only within the frame
// and written only within the buffer.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "signalling/isdn/Trace.h"
#include "testing/Golden.h"

namespace {

using Octets = std::vector<uint8_t>;

// The frame in a heap block of exactly its size, so a read past it is caught.
std::string trace(const Octets& frame, bool to_user, size_t size = ISDN::logbuf_size) {
  std::unique_ptr<uint8_t[]> exact(new uint8_t[frame.size() ? frame.size() : 1]);
  if (!frame.empty()) std::memcpy(exact.get(), frame.data(), frame.size());
  std::vector<char> text(size + 1, '#');
  const size_t n = ISDN::dlogframe(exact.get(), int(frame.size()), to_user, text.data(), size);
  EXPECT_LT(n, size);
  EXPECT_EQ(text[n], '\0');
  EXPECT_EQ(text[size], '#') << "written past the buffer";
  return std::string(text.data(), n);
}

Octets join(std::initializer_list<Octets> parts) {
  Octets all;
  for (const Octets& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

const Octets user_i = {0x00, 0x01, 0x00, 0x00};
const Octets net_i = {0x02, 0x01, 0x00, 0x02};
const Octets setup = join({user_i, {0x08, 0x01, 0x05, 0x05, 0xA1, 0x04, 0x03, 0x80, 0x90, 0xA2, 0x18, 0x01, 0x89,
                                    0x6C, 0x06, 0x00, 0x81, 0x31, 0x32, 0x33, 0x34, 0x70, 0x05, 0x81, 0x35, 0x36,
                                    0x37, 0x38, 0x28, 0x05, 0x41, 0x6C, 0x69, 0x63, 0x65, 0x1E, 0x02, 0x81, 0x83}});

TEST(FrameTrace, TheTextsOfTheEdgeCases) {
  EXPECT_EQ(trace({0x02, 0xFF, 0x03, 0x08, 0x00, 0x45}, true),
            " 02 FF 03 08 00 45\nframe network->user broadcast\ncallref 0 caller size 3 message type DISCONNECT\n");
  EXPECT_EQ(trace({0x00, 0x01, 0x01, 0x05}, false), " 00 01 01 05\nframe user->network SFrame tei = 0 (01 05 )\n");
  EXPECT_EQ(trace(join({net_i, {0x08, 0x01, 0x81, 0x99}}), true),
            " 02 01 00 02 08 01 81 99\nframe network->user IFrame tei = 0\n"
            "callref 1 called size 4 unknown message type 99!\n");
  EXPECT_EQ(trace(join({net_i, {0x08, 0x01, 0x01, 0x7B, 0x96}}), true),
            " 02 01 00 02 08 01 01 7B 96\nframe network->user IFrame tei = 0\n"
            "callref 1 caller size 5 message type INFORMATION\n  Shift 6\n");
  EXPECT_EQ(trace({0xFE, 0xFF, 0x03, 0x0F, 0x12, 0x34, 0x02, 0x81}, true),
            " FE FF 03 0F 12 34 02 81\nframe network->user tei management:\n");
  // Found by fuzzing: a NUL in a display cut the log line short.
  EXPECT_EQ(trace({0x00, 0x3F, 0x02, 0x02, 0x08, 0x08, 0x00, 0xE6, 0xE6, 0xE6,
                   0xE6, 0xE6, 0xE6, 0xE6, 0x02, 0x28, 0xE6, 0xE6, 0x00, 0x00},
                  false),
            " 00 3F 02 02 08 08 00 E6 E6 E6 E6 E6 E6 E6 02 28 E6 E6 00 00\nframe user->network IFrame tei = 31\n"
            "callref 3873892070 caller size 16 message type CALL PROCEEDING\n  Display\n   \"\\xE6\\x00\\x00\"\n");
  EXPECT_EQ(trace({0x02, 0x01}, true), "");
  EXPECT_EQ(trace({}, true), "");
}

TEST(FrameTrace, RealFramesMatchTheirTranscript) {
  const struct {
    const char* name;
    Octets frame;
    bool to_user;
  } frames[] = {
      {"SABME", {0x00, 0x01, 0x7F}, false},
      {"UA", {0x00, 0x01, 0x73}, true},
      {"RR", {0x02, 0x81, 0x01, 0x03}, false},
      {"SETUP", setup, false},
      {"SETUP multirate",
       join({user_i, {0x08, 0x01, 0x06, 0x05, 0x04, 0x05, 0x88, 0x98, 0x83, 0xA2, 0xC1, 0x6C, 0x02, 0x81, 0x39}}),
       false},
      {"CONNECT", join({net_i, {0x08, 0x01, 0x85, 0x07, 0x18, 0x01, 0x89}}), true},
      {"RELEASE COMPLETE normal", join({net_i, {0x08, 0x01, 0x85, 0x5A, 0x08, 0x02, 0x80, 0x90}}), true},
      {"RELEASE COMPLETE 69 and 70",
       join({net_i, {0x08, 0x01, 0x85, 0x5A, 0x08, 0x02, 0x82, 0xC5, 0x08, 0x02, 0x82, 0xC6}}), true},
      {"RELEASE COMPLETE diagnostics",
       join({net_i, {0x08, 0x01, 0x85, 0x5A, 0x08, 0x08, 0x02, 0x82, 0xE2, 0x01, 0x02, 0x83, 0x04, 0x85}}), true},
      {"RELEASE COMPLETE unlisted cause", join({net_i, {0x08, 0x01, 0x85, 0x5A, 0x08, 0x02, 0x80, 0xFA}}), true},
      {"DISCONNECT facility", join({user_i, {0x08, 0x01, 0x05, 0x45, 0x1C, 0x06, 0x91, 0xA1, 0x03, 0x02, 0x01, 0x05}}),
       false},
      {"STATUS elements", join({net_i, {0x08, 0x01, 0x85, 0x7D, 0x14, 0x01, 0x0A, 0x7C, 0x03, 0x08, 0x80,
                                        0x90, 0x50, 0x02, 0x01, 0x02, 0xA0, 0xA5, 0xB3, 0xD1, 0xE0, 0x81}}),
       true},
      {"two-octet call reference", join({net_i, {0x08, 0x02, 0x80, 0x05, 0x46}}), true},
      {"dummy call reference", join({net_i, {0x08, 0x00, 0x62}}), true},
      {"unknown protocol", join({net_i, {0x09, 0x01, 0x05}}), true},
      {"I frame without message", {0x02, 0x01, 0x00, 0x02}, true},
      {"broadcast without message", {0x02, 0xFF, 0x03}, true},
      {"broadcast not UI", {0x02, 0xFF, 0x13, 0x08}, true},
      {"broadcast other SAPI", {0x14, 0xFF, 0x03, 0x08}, true},
      {"other SAPI", {0x40, 0x81, 0x03, 0x08}, true},
  };
  std::string all;
  for (const auto& f : frames) all += std::string("== ") + f.name + "\n" + trace(f.frame, f.to_user) + "\n";
  EXPECT_TRUE(Testing::matchesGolden("signalling/isdn/tests/golden/trace-frames.txt", all));
}

TEST(FrameTrace, EveryTruncationReadsOnlyTheFrame) {
  for (size_t n = 0; n < setup.size(); ++n) {
    const std::string text = trace(Octets(setup.begin(), setup.begin() + long(n)), false);
    EXPECT_EQ(text.empty(), n < 3);
  }
  // Elements whose length octets claim more than the frame holds.
  for (const Octets& tail : {Octets{0x04, 0x09, 0x80}, Octets{0x6C, 0x04, 0x00}, Octets{0x08, 0x07, 0x00},
                             Octets{0x1C, 0x05, 0x91, 0xA1, 0x7F, 0x01}, Octets{0x28, 0xFF, 0x41}, Octets{0x70},
                             Octets{0x08, 0x03, 0x02, 0x82, 0x01}})
    EXPECT_NE(trace(join({user_i, {0x08, 0x01, 0x05, 0x05}, tail}), false).find("message type SETUP"),
              std::string::npos);
  EXPECT_EQ(trace(join({user_i, {0x08, 0x0F, 0x05}}), false),
            " 00 01 00 00 08 0F 05\n"
            "frame user->network IFrame tei = 0\n"
            "frame too short\n");
}

TEST(FrameTrace, OutputStaysWithinTheBuffer) {
  const std::string whole = trace(setup, false);
  for (size_t size = 1; size <= whole.size() + 1; ++size)
    EXPECT_EQ(trace(setup, false, size), whole.substr(0, size - 1));
  Octets huge = join({net_i, {0x08, 0x01, 0x05, 0x05}});
  for (int i = 0; i < 60; ++i) huge.insert(huge.end(), {0x7E, 0x04, 0x00, 0x00, 0x00, 0x00});
  EXPECT_EQ(trace(huge, true).size(), ISDN::logbuf_size - 1);
  char untouched = '#';
  EXPECT_EQ(ISDN::dlogframe(setup.data(), int(setup.size()), 0, &untouched, 0), 0u);
  EXPECT_EQ(untouched, '#');
  EXPECT_EQ(trace(setup, false, 1), "");
  EXPECT_EQ(ISDN::dlogframe(setup.data(), -5, 0, &untouched, 1), 0u);
}

TEST(FrameTrace, RandomFramesNeverReadOrWriteOutOfBounds) {
  std::mt19937 random(921);
  for (int i = 0; i < 20000; ++i) {
    Octets frame(random() % 48);
    for (uint8_t& b : frame) b = uint8_t(random());
    if (frame.size() > 4 && random() % 2) frame[4] = 0x08;
    if (frame.size() > 1 && random() % 2) frame[0] = 0x00;
    trace(frame, random() % 2, 1 + random() % 300);
  }
}

}  // namespace
