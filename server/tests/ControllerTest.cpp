// The controller link of the real daemon: replies byte for byte, bad input,
// and one controller at a time.

#include <gtest/gtest.h>

#include "server/tests/Harness.h"

using e2e::Controller;

class ControllerLink : public e2e::Served {
protected:
  // The server's log prefix while this controller is connected.
  std::string header() { return "ctrl [127.0.0.1:" + std::to_string(controller.localPort()) + "]: "; }
};

TEST_F(ControllerLink, PingIsAnsweredWithSeqExactlyWhenTheCommandHadOne) {
  EXPECT_EQ(controller.exchange("0600"), "10");
  EXPECT_EQ(controller.exchange("80017f18"), "80017f40");      // seq 127
  EXPECT_EQ(controller.exchange("80047fffffff18"), "80047fffffff40");  // seq 2147483647
  EXPECT_EQ(controller.exchange("40033218"), "40033240");      // slot 818
  EXPECT_EQ(controller.exchange("c00210ad03ff18"), "c00210ad03ff40");  // seq 4269, slot 1023
  EXPECT_TRUE(controller.quiet(50));
}

TEST_F(ControllerLink, WhatNobodyTakesIsAnUnexpectedMessageType) {
  // protoLemz, seq 144.
  EXPECT_EQ(controller.exchange("800200901c01000412ed61f0040ed26a090030200c046bb63c9260047fffffff200203d41f30"),
            "8002009064");
  EXPECT_EQ(controller.exchange("80010440"), "80010464");      // a response, seq 4
  EXPECT_EQ(controller.exchange("400007820132"), "1900");      // a signal, slot 7
  EXPECT_EQ(controller.exchange("0280"), "1900");              // destroy without a slot
  EXPECT_EQ(controller.exchange("c00105000300"), "c00105000364");  // query with a slot
}

TEST_F(ControllerLink, ASlotAbove1023IsAnInvalidSlotAnsweredWithoutTheSlot) {
  EXPECT_EQ(controller.exchange("c0010907d018"), "80010962");  // seq 9, slot 2000
  EXPECT_EQ(controller.exchange("40040018"), "1880");          // slot 1024
  EXPECT_EQ(controller.exchange("40ffff18"), "1880");          // slot 65535
}

TEST_F(ControllerLink, AnUndecodableFrameIsLoggedWithItsBytesAndTheLinkStays) {
  ASSERT_EQ(controller.exchange("0600"), "10");
  controller.send("ff");
  controller.send("8004017f");
  controller.send("");
  EXPECT_TRUE(daemon.errHas("receive fail: decode error!\n msg: 80 04 01 7F \n"));
  EXPECT_TRUE(controller.quiet(50));
  const std::string err = daemon.err();
  EXPECT_NE(err.find(header() + "receive fail: decode error!\n msg: FF \n"), std::string::npos) << err;
  EXPECT_NE(err.find(header() + "receive fail: decode error!\n msg: \n"), std::string::npos) << err;
  EXPECT_EQ(controller.exchange("0600"), "10");
}

TEST_F(ControllerLink, ASecondControllerIsRefusedWhileTheFirstIsChecked) {
  ASSERT_EQ(controller.exchange("0600"), "10");
  Controller second;
  ASSERT_TRUE(second.connect(daemon.port()));
  EXPECT_TRUE(second.seesClose(1000));
  EXPECT_TRUE(daemon.errHas("refuse connection from 127.0.0.1:"));
  EXPECT_TRUE(daemon.errHas("CheckConnectionState CheckConnection\n"));
  // The first answers its fast probes and goes back to normal keep-alive.
  EXPECT_TRUE(daemon.errHas("CheckConnectionState Idle\n"));
  EXPECT_EQ(controller.exchange("80010218"), "80010240");

  // Once the first has gone, the next one is served.
  controller.close();
  EXPECT_TRUE(daemon.errHas("control connection 127.0.0.1:"));
  Controller third;
  ASSERT_TRUE(third.connect(daemon.port()));
  EXPECT_EQ(third.exchange("0600"), "10");
  EXPECT_EQ(e2e::count(daemon.err(), "]: controller connect.\n"), 2u);
}
