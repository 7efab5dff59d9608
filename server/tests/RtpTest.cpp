// An RTP slot of the real daemon driven as a controller would: made on the
// simulated RTP engine, connected both ways to an E1 timeslot through the
// switch, its codec changed, its packet detector switched on and heard, and
// destroyed, with the RTCP source description and goodbye caught by a UDP
// peer at the far end's RTCP port.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "media/tests/RtcpPeer.h"
#include "server/tests/Harness.h"

using namespace e2e;

namespace {

std::string create(long seq, long slot, const std::string& what) { return cmd(seq, slot, "create : " + what); }
Lines both(long seq, long slot, int channel) {
  const std::string c = std::to_string(channel);
  return {ok(seq, slot), sig(slot, "transmitter : active : " + c), sig(slot, "receiver : active : " + c)};
}
std::string hex(const std::vector<uint8_t>& bytes) {
  std::string text;
  char digits[3];
  for (uint8_t b : bytes) text += (std::snprintf(digits, sizeof digits, "%02x", b), digits);
  return text;
}

class Rtp : public Served {};

TEST_F(Rtp, AnRtpSlotCarriesAnE1TimeslotChangesItsCodecAndReportsItsPacketDetector) {
  RtcpPeer peer;
  char port[5];
  std::snprintf(port, sizeof port, "%04x", peer.port - 1u);
  expect(create(1, 1, "trunk : { trunk 0, timeslot 3 }"), both(1, 1, 3));
  expect(create(2, 2,
                "rtp : { codecRTP { payload ptG711-Alaw, dhost { iaddr \"127.0.0.1\", port " +
                    std::to_string(peer.port - 1) +
                    " }, ssrc 16909060 }, txPayload ptG711-Alaw, "
                    "rxPayload ptG711-Alaw }"),
         both(2, 2, 1024));
  EXPECT_EQ(hex(peer.receive()).substr(0, 16), "81ca001001020304");  // SDES of SSRC 0x01020304

  expect(cmd(3, 1, "connect : 2"), {ok(3, 1)});  // the timeslot feeds the session
  expect(cmd(4, 2, "connect : 1"), {ok(4, 2)});
  EXPECT_EQ(control("hal switch map"), (Lines{"3 <- 1024", "1024 <- 3"}));
  expect(cmd(5, 2, "ioctl : encoder-mode : ulaw"), {ok(5, 2)});
  expect(cmd(6, 2, "ioctl : pd-enable : { timeout 300 }"), {ok(6, 2)});
  // Session 2 is session 1 with tx 0 (u-law); the input, on since the connect, stays on.
  const std::string head = std::string("7f000001") + port +
                           "0000"
                           "00000000" +
                           port + "0008";
  const std::string tail =
      "0000"
      "0000"
      "0000"
      "01020304"
      "0000000000000000"
      "00000000"
      "ffffffff";
  EXPECT_EQ(control.journal("rtp"),
            (Lines{"begin 1 " + head + "0008" + tail, "add-channel 1 ffffffffffffffffffffffff00000000", "input-on 1",
                   "begin 2 " + head + "0000" + tail, "add-channel 2 00000400ffffffffffffffff00000000", "input-on 2",
                   "event-on 2 00000001"
                   "00000000"
                   "0000012c"
                   "00000000"
                   "00000000"
                   "0000012c"
                   "00000000"
                   "00000000"
                   "00000000"}));
  control("rtp event 2 1 1");
  controller.expectNext({sig(2, "rtp : pd : { value 1, timeout 300 }")}, "rtp event");

  expect(cmd(7, 2, "destroy : NULL"), {ok(7, 2)});
  EXPECT_EQ(hex(peer.receive()),
            "81cb000401020304"
            "0b73657373696f6e20656e64");  // BYE "session end"
  EXPECT_TRUE(waitFor([&] { return control("rtp sessions").empty(); }));
  EXPECT_EQ(control("hal switch map"), (Lines{"3 = 0xD5"}));
  EXPECT_TRUE(daemon.errHas("rtp[1024]: RTP SET EVENT PD timeout=300\n"));
}

}  // namespace
