// An RTP slot of the real daemon driven as a controller would: made on the
// simulated RTP engine, connected both ways to an E1 timeslot through the
// switch, its codec changed, its packet detector switched on and heard, and
// destroyed, with the RTCP source description and goodbye caught by a UDP
// peer at the far end's RTCP port.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "server/tests/Harness.h"

using namespace e2e;

namespace {

std::string create(long seq, long slot, const std::string& what) { return cmd(seq, slot, "create : " + what); }
std::string hex4(unsigned v) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", v & 0xFFFF);
  return text;
}

Lines both(long seq, long slot, int channel) {
  const std::string c = std::to_string(channel);
  return {ok(seq, slot), sig(slot, "transmitter : active : " + c), sig(slot, "receiver : active : " + c)};
}

// The far end's RTCP port on 127.0.0.1, shared with the daemon's RTCP socket on the wildcard address.
class RtcpPeer {
public:
  RtcpPeer() : fd_(::socket(AF_INET, SOCK_DGRAM, 0)) {
    const int on = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), len);
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
  }
  ~RtcpPeer() { ::close(fd_); }
  // The next datagram as hex, "" after a second.
  std::string receive() {
    pollfd p{fd_, POLLIN, 0};
    unsigned char buf[1500];
    const ssize_t n = ::poll(&p, 1, 1000) == 1 ? ::recv(fd_, buf, sizeof buf, 0) : 0;
    std::string hex;
    for (ssize_t i = 0; i < n; ++i) hex += "0123456789abcdef"[buf[i] >> 4] + std::string(1, "0123456789abcdef"[buf[i] & 15]);
    return hex;
  }
  unsigned short port = 0;

private:
  int fd_;
};

class Rtp : public Served {};

TEST_F(Rtp, AnRtpSlotCarriesAnE1TimeslotChangesItsCodecAndReportsItsPacketDetector) {
  RtcpPeer peer;
  const std::string rtpPort = std::to_string(peer.port - 1);
  expect(create(1, 1, "trunk : { trunk 0, timeslot 3 }"), both(1, 1, 3));
  expect(create(2, 2, "rtp : { codecRTP { payload ptG711-Alaw, dhost { iaddr \"127.0.0.1\", port " + rtpPort +
                           " }, ssrc 16909060 }, txPayload ptG711-Alaw, rxPayload ptG711-Alaw }"),
         both(2, 2, 1024));
  // SDES of SSRC 0x01020304: CNAME, EMAIL, PHONE.
  EXPECT_EQ(peer.receive().substr(0, 24), "81ca001001020304" "0111" "5361");

  expect(cmd(3, 1, "connect : 2"), {ok(3, 1)});  // the timeslot feeds the session
  expect(cmd(4, 2, "connect : 1"), {ok(4, 2)});
  EXPECT_EQ(control("hal switch map"), (Lines{"3 <- 1024", "1024 <- 3"}));
  expect(cmd(5, 2, "ioctl : encoder-mode : ulaw"), {ok(5, 2)});
  expect(cmd(6, 2, "ioctl : pd-enable : { timeout 300 }"), {ok(6, 2)});
  // Session 2 is session 1 with tx 0 (u-law); the input, on since the connect, stays on.
  const std::string record = "7f000001" + hex4(peer.port - 1) + "0000" "00000000" + hex4(peer.port - 1) +
                             "0008" "0000" "0000" "0000" "0000" "01020304" "0000000000000000" "00000000" "ffffffff";
  EXPECT_EQ(control.journal("rtp"),
            (Lines{"begin 1 " + record.substr(0, 32) + "0008" + record.substr(36),
                   "add-channel 1 ffffffffffffffffffffffff00000000", "input-on 1", "begin 2 " + record, "add-channel 2 00000400ffffffffffffffff00000000", "input-on 2",
                   "event-on 2 00000001" "00000000" "0000012c" "00000000" "00000000" "0000012c" "00000000" "00000000"
                   "00000000"}));
  control("rtp event 2 1 1");
  controller.expectNext({sig(2, "rtp : pd : { value 1, timeout 300 }")}, "rtp event");

  expect(cmd(7, 2, "destroy : NULL"), {ok(7, 2)});
  EXPECT_EQ(peer.receive(), "81cb000401020304" "0b73657373696f6e20656e64");  // BYE "session end"
  EXPECT_TRUE(waitFor([&] { return control("rtp sessions").empty(); }));
  EXPECT_EQ(control("hal switch map"), (Lines{"3 = 0xD5"}));
  EXPECT_TRUE(daemon.errHas("rtp[1024]: RTP SET EVENT PD timeout=300\n"));
}

}  // namespace
