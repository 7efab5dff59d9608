// The controller link of the real daemon: replies byte for byte and bad
// input. One controller at a time is the acceptor's own test.

#include <gtest/gtest.h>

#include "server/tests/Harness.h"

using namespace e2e;

namespace {

class ControllerLink : public Served {
protected:
  // The server's log prefix while this controller is connected.
  std::string header() { return "ctrl [127.0.0.1:" + std::to_string(controller.localPort()) + "]: "; }
};

TEST_F(ControllerLink, RepliesCarrySeqAndSlotExactlyWhenTheCommandHadThem) {
  const struct {
    long seq, slot;
  } cases[] = {{NoSeq, NoSlot}, {127, NoSlot}, {2147483647, NoSlot}, {NoSeq, 818}, {4269, 1023}};
  for (const auto& c : cases) expect(cmd(c.seq, c.slot, "ping : NULL"), {ok(c.seq, c.slot)});
  EXPECT_TRUE(controller.quiet(50));
}

TEST_F(ControllerLink, WhatNobodyTakesIsAnUnexpectedMessageType) {
  expect(cmd(144, NoSlot,
             "protoLemz : { packets { { msgLength 317546992, msgSeqNum 248670729, msgID ali-rad-rs485-sts=12320, "
             "stateProtocol protocol-v1, stateMode dcon, stateMaster 1807105170, srcAddr ali, srcChannel 2147483647, "
             "dstAddr rgw, dstChannel 980, payload gw-get-info : { request-code infoRcEchoEstimate2WireLine2 } } } }"),
         {err(144, NoSlot, "unexpectedMsgType")});
  expect(Testing::message(4, NoSlot, "response : success : NULL"), {err(4, NoSlot, "unexpectedMsgType")});
  expect(sig(7, "number : \"2\""), {err(NoSeq, NoSlot, "unexpectedMsgType")});
  expect(cmd(NoSeq, NoSlot, "destroy : NULL"), {err(NoSeq, NoSlot, "unexpectedMsgType")});
  expect(cmd(5, 3, "query : NULL"), {err(5, 3, "unexpectedMsgType")});
}

TEST_F(ControllerLink, ASlotAbove1023IsAnInvalidSlotAnsweredWithoutTheSlot) {
  // The slot field holds 16 bits; no encoder writes these.
  controller.sendHex("c0010907d018");  // seq 9, slot 2000, ping
  controller.expectNext({err(9, NoSlot, "invalidSlot")}, "slot 2000");
  controller.sendHex("40040018");  // slot 1024, ping
  controller.expectNext({err(NoSeq, NoSlot, "invalidSlot")}, "slot 1024");
  controller.sendHex("40ffff18");  // slot 65535, ping
  controller.expectNext({err(NoSeq, NoSlot, "invalidSlot")}, "slot 65535");
}

TEST_F(ControllerLink, AnUndecodableFrameIsLoggedWithItsBytesAndTheLinkStays) {
  controller.expectPing();
  controller.sendHex("ff");
  controller.sendHex("8004017f");
  controller.sendHex("");
  // Each frame is logged in turn: wait for the line of each, not for one of them.
  EXPECT_TRUE(daemon.errHas(header() + "receive fail: decode error!\n msg: FF \n")) << daemon.err();
  EXPECT_TRUE(daemon.errHas(header() + "receive fail: decode error!\n msg: 80 04 01 7F \n")) << daemon.err();
  EXPECT_TRUE(daemon.errHas(header() + "receive fail: decode error!\n msg: \n")) << daemon.err();
  EXPECT_TRUE(controller.quiet(50));
  controller.expectPing();
}

}  // namespace
