// A raw HDLC slot of the real daemon, created and fed by the controller,
// with a peer on its channel's far-end socket standing for the line: frames
// both ways byte for byte, and the statistics signal three seconds after the
// create.

#include <gtest/gtest.h>

#include <string>

#include "board/sim/FarEndClient.h"
#include "server/tests/Harness.h"

using e2e::Lines;

namespace {

class RawHdlc : public e2e::Served {};

TEST_F(RawHdlc, FramesCrossBetweenTheControllerAndAPeerOnTheLineAndStatisticsFollow) {
  expect("c00101000108380228",  // seq 1, slot 1, create trunk {trunk 2, timeslot 5}: switch channel 69
         {"c00101000140", "4000018a800145", "40000189800145"});
  expect("c001020002087801020100021234",  // seq 2, slot 2, create hdlcParams {trunk 2, log 0, address 0x1234}
         {"c00102000240"});
  EXPECT_EQ(control("mcc channels"), Lines{});  // no channel before a connect
  // seq 3, slot 2 connect 1: the slot feeds the timeslot and drives the switch, its channel
  // both ways on 69; transmitter active without a channel of its own (-1), then success.
  expect("c001030002040001", {"4000028a8001ff", "c00103000240"});
  EXPECT_EQ(control("mcc channels"), Lines{"256 type=0"});
  EXPECT_EQ(control("hal switch map"), (Lines{"69 <- 256", "256 <- 69"}));

  Board::Sim::FarEndClient line;
  ASSERT_TRUE(line.connect(256, 3000, daemon.root()));
  ASSERT_TRUE(e2e::waitFor([&] { return control("mcc farend 256")[0].find(" attached") != std::string::npos; }));
  // More follows, another address that holds the batch too, then the last of the burst: one signal.
  ASSERT_TRUE(line.send(std::string("\x12\x34\xE0\x01\x80", 5)));
  ASSERT_TRUE(line.send(std::string("\x43\x21\x00\x09\x80", 5)));
  ASSERT_TRUE(line.send(std::string("\x12\x34\x00\x05\x00", 5)));
  EXPECT_EQ(controller.receive(), "4000028c8002020180020500");  // slot 2 ioctl hdlcPackages {'0180'H, '0500'H}

  expect("c00104000212500201ab020102",  // seq 4, slot 2 ioctl hdlcPackages {'AB'H, '0102'H}
         {"c00104000240"});
  std::string frame;
  ASSERT_TRUE(line.receive(frame));
  EXPECT_EQ(frame, std::string("\x12\x34\x00\xAB", 4));  // tx_seq 0, rx_seq 0
  ASSERT_TRUE(line.receive(frame));
  EXPECT_EQ(frame, std::string("\x12\x34\x20\x01\x02", 5));  // tx_seq 1

  // slot 2 ioctl hdlcLinkInfo {txSU 2, txDiscard 0, txError 0, txOverflow 0, rxSU 3}
  EXPECT_EQ(controller.receive(4000), "4000028c6001020100010001000103");

  expect("c0010500020a", {"c00105000240"});  // seq 5, destroy slot 2: the channel and its line go
  EXPECT_FALSE(line.receive(frame, 1000));
  EXPECT_TRUE(e2e::waitFor([&] { return control("mcc channels").empty(); }));
}

}  // namespace
