// A raw HDLC slot of the real daemon, created and fed by the controller,
// with a peer on its channel's far-end socket standing for the line: frames
// both ways byte for byte, and the statistics signal three seconds after the
// create.

#include <gtest/gtest.h>

#include <string>

#include "board/sim/FarEndClient.h"
#include "server/tests/Harness.h"

using namespace e2e;

namespace {

class RawHdlc : public e2e::Served {};

TEST_F(RawHdlc, FramesCrossBetweenTheControllerAndAPeerOnTheLineAndStatisticsFollow) {
  expect(cmd(1, 1, "create : trunk : { trunk 2, timeslot 5 }"),
         {ok(1, 1), sig(1, "transmitter : active : 69"), sig(1, "receiver : active : 69")});
  expect(cmd(2, 2, "create : hdlcParams : { trunk 2, log 0, address 4660 }"), {ok(2, 2)});  // address 0x1234
  EXPECT_EQ(control("mcc channels"), Lines{});  // no channel before a connect
  // Slot 2 feeds the timeslot and drives the switch, its channel both ways on 69;
  // transmitter active without a switch channel of its own, then success.
  expect(cmd(3, 2, "connect : 1"), {sig(2, "transmitter : active : -1"), ok(3, 2)});
  EXPECT_EQ(control("mcc channels"), Lines{"256 type=0"});
  EXPECT_EQ(control("hal switch map"), (Lines{"69 <- 256", "256 <- 69"}));

  Board::Sim::FarEndClient line;
  ASSERT_TRUE(line.connect(256, PatienceMs, daemon.root()));
  ASSERT_TRUE(e2e::waitFor([&] { return control("mcc farend 256")[0].find(" attached") != std::string::npos; }));
  // More follows, another address that holds the batch too, then the last of the burst: one signal.
  ASSERT_TRUE(line.send(std::string("\x12\x34\xE0\x01\x80", 5)));
  ASSERT_TRUE(line.send(std::string("\x43\x21\x00\x09\x80", 5)));
  ASSERT_TRUE(line.send(std::string("\x12\x34\x00\x05\x00", 5)));
  controller.expectNext({sig(2, "ioctl : hdlcPackages : { { body '0180'H }, { body '0500'H } }")}, "the burst");

  expect(cmd(4, 2, "ioctl : hdlcPackages : { { body 'AB'H }, { body '0102'H } }"), {ok(4, 2)});
  std::string frame;
  ASSERT_TRUE(line.receive(frame, PatienceMs));
  EXPECT_EQ(frame, std::string("\x12\x34\x00\xAB", 4));  // tx_seq 0, rx_seq 0
  ASSERT_TRUE(line.receive(frame, PatienceMs));
  EXPECT_EQ(frame, std::string("\x12\x34\x20\x01\x02", 5));  // tx_seq 1

  const std::string statistics =
      sig(2, "ioctl : hdlcLinkInfo : { txSU 2, txDiscard 0, txError 0, txOverflow 0, rxSU 3 }");
  EXPECT_TRUE(Testing::sameFrames({Testing::lgcp(statistics)}, {controller.receive()}));

  expect(cmd(5, 2, "destroy : NULL"), {ok(5, 2)});  // the channel and its line go
  EXPECT_FALSE(line.receive(frame, 1000));
  EXPECT_TRUE(e2e::waitFor([&] { return control("mcc channels").empty(); }));
}

}  // namespace
