// ISDN and QSIG slots of the real daemon, driven by the controller, with a
// peer on the D channel's far-end socket standing for the line: the link
// comes up with its information reported, layer-3 messages cross both ways
// as I frames, and a QSIG slot destroyed first gives its B channels back.

#include <gtest/gtest.h>

#include <string>

#include "board/sim/FarEndClient.h"
#include "server/tests/Harness.h"

using namespace e2e;

namespace {

class Isdn : public e2e::Served {
protected:
  // The peer on a D channel's far end, once the board has taken it as the line; then the frame it reads next.
  void attach(const std::string& path, const std::string& farend) {
    ASSERT_TRUE(line.connectPath(daemon.root() + path, PatienceMs));
    ASSERT_TRUE(e2e::waitFor([&] { return control(farend)[0].find(" attached") != std::string::npos; }));
  }
  std::string next() {
    std::string frame;
    line.receive(frame, PatienceMs);
    return frame;
  }

  Board::Sim::FarEndClient line;
};

TEST_F(Isdn, SlotBringsTheLinkUpReportsItAndCarriesMessages) {
  expect(cmd(1, 3, "create : isdn : { type pri, trunk 1, log 0, side user : NULL }"), {ok(1, 3)});
  attach("/var/run/board-sim-mcc-256.sock", "mcc farend 256");
  expect(cmd(2, 3, "activate : empty : NULL"), {ok(2, 3)});
  EXPECT_EQ(next(), std::string("\x00\x01\x7F", 3));       // SABME
  ASSERT_TRUE(line.send(std::string("\x00\x01\x73", 3)));  // UA
  controller.expectNext(
      {sig(3,
           "ioctl : isdnLinkInfo : { side user, msuTxCount 0, msuRxCount 0, mT200 0, mT203 0, errors 0, "
           "retrains 0, rejected 0, badconfirm 0, outOverflows 0, ackOverflows 0, lapdState "
           "multiple-frame-established, rc 0, peerBusy FALSE, ownBusy FALSE, rejException FALSE, ackPending "
           "FALSE, l3Initiated TRUE, establishable TRUE, queuedUpRQ FALSE, retrRQ FALSE, ackRQ FALSE, t200run "
           "FALSE, t203run TRUE, vs 0, va 0, vr 0, queueOut 0, queueAck 0 }"),
       sig(3, "activated : NULL")},
      "UA");
  expect(cmd(3, 3, "userData : '08010505'H"), {ok(3, 3)});
  EXPECT_EQ(next(), std::string("\x00\x01\x00\x00\x08\x01\x05\x05", 8));
  ASSERT_TRUE(line.send(std::string("\x02\x01\x00\x02\x08\x01\x85\x07", 8)));  // CONNECT, acknowledging
  controller.expectNext({sig(3, "userData : '08018507'H")}, "an I frame");
  EXPECT_EQ(next(), std::string("\x02\x01\x01\x02", 4));  // RR
}

TEST_F(Isdn, QsigSlotGivesItsBChannelsBackWhenDestroyedFirst) {
  expect(cmd(1, 5, "create : ats-qsig : { side user : NULL, log 0 }"), {ok(1, 5)});
  expect(cmd(2, 6, "create : ats-qsig-b : { slot 5, subslot 1 }"), {ok(2, 6)});
  expect(cmd(3, 7, "create : ats-qsig-b : { slot 5, subslot 3 }"), {ok(3, 7)});
  EXPECT_EQ(control("dsp-data links"), Lines{"512 b0=513 b1=- b2=515"});
  attach("/var/run/board-sim-dsp-data-512.sock", "dsp-data farend 512");
  expect(cmd(4, 5, "activate : empty : NULL"), {ok(4, 5)});
  EXPECT_EQ(next(), std::string("\x00\x01\x7F", 3));
  expect(cmd(5, 5, "destroy : NULL"), {ok(5, 5)});
  EXPECT_EQ(control.journal("dsp-data"),
            (Lines{"d-channel", "add 0", "add 2", "release 0 tdm=513", "release 2 tdm=515"}));
  expect(cmd(6, 6, "destroy : NULL"), {ok(6, 6)});
  expect(cmd(7, 7, "destroy : NULL"), {ok(7, 7)});
  EXPECT_EQ(control.journal("dsp-data"), Lines{});
}

}  // namespace
