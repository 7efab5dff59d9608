// ISDN and QSIG slots of the real daemon, created and driven by the
// controller, with a peer on the D channel's far-end socket standing for the
// network: link establishment, layer-3 messages both ways as I frames, link
// information around each change of state; QSIG B channels given back when
// their QSIG slot goes first.

#include <gtest/gtest.h>

#include <string>

#include "board/sim/FarEndClient.h"
#include "server/tests/Harness.h"

using namespace e2e;

namespace {

// The link information of a primary-rate user side that sent and received `n` I frames.
std::string linkInfo(const char* state, int n, const char* t203run) {
  const std::string c = std::to_string(n);
  return sig(3, std::string("ioctl : isdnLinkInfo : { side user, msuTxCount ") + c + ", msuRxCount " + c +
                    ", mT200 0, mT203 0, errors 0, retrains 0, rejected 0, badconfirm 0, outOverflows 0, "
                    "ackOverflows 0, lapdState " + state + ", rc 0, peerBusy FALSE, ownBusy FALSE, "
                    "rejException FALSE, ackPending FALSE, l3Initiated TRUE, establishable TRUE, queuedUpRQ FALSE, "
                    "retrRQ FALSE, ackRQ FALSE, t200run FALSE, t203run " + t203run + ", vs " + c + ", va " + c +
                    ", vr " + c + ", queueOut 0, queueAck 0 }");
}

class Isdn : public e2e::Served {
protected:
  // The peer on a D channel's far end, once the board has taken it as the line.
  void attach(Board::Sim::FarEndClient& line, const std::string& path, const std::string& farend) {
    ASSERT_TRUE(line.connectPath(daemon.root() + path, 3000));
    ASSERT_TRUE(e2e::waitFor([&] { return control(farend)[0].find(" attached") != std::string::npos; }));
  }
  std::string next(Board::Sim::FarEndClient& line) {
    std::string frame;
    line.receive(frame);
    return frame;
  }
};

TEST_F(Isdn, SlotEstablishesTheLinkCarriesMessagesAndReportsTheLink) {
  expect(cmd(1, 3, "create : isdn : { type pri, trunk 1, log 0, side user : NULL }"), {ok(1, 3)});
  Board::Sim::FarEndClient network;
  attach(network, "/var/run/board-sim-mcc-256.sock", "mcc farend 256");
  expect(cmd(2, 3, "activate : empty : NULL"), {ok(2, 3)});
  EXPECT_EQ(next(network), std::string("\x00\x01\x7F", 3));  // SABME
  ASSERT_TRUE(network.send(std::string("\x00\x01\x73", 3)));  // UA
  controller.expectNext({linkInfo("multiple-frame-established", 0, "TRUE"), sig(3, "activated : NULL")}, "UA");

  expect(cmd(3, 3, "userData : '08010505'H"), {ok(3, 3)});
  EXPECT_EQ(next(network), std::string("\x00\x01\x00\x00\x08\x01\x05\x05", 8));
  ASSERT_TRUE(network.send(std::string("\x02\x01\x00\x02\x08\x01\x85\x07", 8)));  // CONNECT, acknowledging
  controller.expectNext({sig(3, "userData : '08018507'H")}, "an I frame");
  EXPECT_EQ(next(network), std::string("\x02\x01\x01\x02", 4));  // RR

  expect(cmd(4, 3, "deactivate : NULL"), {ok(4, 3)});
  EXPECT_EQ(next(network), std::string("\x00\x01\x53", 3));  // DISC
  ASSERT_TRUE(network.send(std::string("\x00\x01\x73", 3)));
  controller.expectNext({linkInfo("tei-assigned", 1, "FALSE"), sig(3, "deactivated : networkError")}, "UA");
  expect(cmd(5, 3, "destroy : NULL"), {ok(5, 3)});
  EXPECT_TRUE(e2e::waitFor([&] { return control("mcc channels").empty(); }));
}

TEST_F(Isdn, QsigSlotGivesItsBChannelsBackWhenDestroyedFirst) {
  expect(cmd(1, 5, "create : ats-qsig : { side user : NULL, log 0 }"), {ok(1, 5)});
  expect(cmd(2, 6, "create : ats-qsig-b : { slot 5, subslot 1 }"), {ok(2, 6)});
  expect(cmd(3, 7, "create : ats-qsig-b : { slot 5, subslot 3 }"), {ok(3, 7)});
  EXPECT_EQ(control("dsp-data links"), Lines{"512 b0=513 b1=- b2=515"});
  Board::Sim::FarEndClient pbx;
  attach(pbx, "/var/run/board-sim-dsp-data-512.sock", "dsp-data farend 512");
  expect(cmd(4, 5, "activate : empty : NULL"), {ok(4, 5)});
  EXPECT_EQ(next(pbx), std::string("\x00\x01\x7F", 3));

  expect(cmd(5, 5, "destroy : NULL"), {ok(5, 5)});
  EXPECT_EQ(control.journal("dsp-data"),
            (Lines{"d-channel", "add 0", "add 2", "release 0 tdm=513", "release 2 tdm=515"}));
  expect(cmd(6, 6, "destroy : NULL"), {ok(6, 6)});
  expect(cmd(7, 7, "destroy : NULL"), {ok(7, 7)});
  EXPECT_EQ(control.journal("dsp-data"), Lines{});
  EXPECT_TRUE(e2e::waitFor([&] { return control("dsp-data links").empty(); }));
}

}  // namespace
