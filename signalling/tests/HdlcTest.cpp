// The HDLC channel on the simulated controller, driven by the real main
// loop: the allocation record and the switch connections of each mode, the
// failures of activation, frames of every size to and from a peer on the
// channel's far-end socket, readiness after a write that would block, the
// counters, and a channel whose descriptor hangs up.

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "board/sim/FarEndClient.h"
#include "board/sim/Sim.h"
#include "foundation/config/TraceCtl.h"
#include "signalling/Hdlc.h"
#include "testing/Capture.h"
#include "testing/Loop.h"

namespace {

using Lines = std::vector<std::string>;

Lines control(const std::string& line) {
  Lines lines = Board::Sim::control(line);
  EXPECT_EQ(lines.back(), "OK") << line;
  lines.pop_back();
  return lines;
}

struct Listener : HDLC::Notify {
  void on_hdlc_receive(Packet& frame) override {
    frames.push_back(std::string(reinterpret_cast<const char*>(frame.data()), frame.length()));
    if (closeOnReceive) channel->deactivate();
  }
  void on_hdlc_error(Cause::Type cause) override { errors.push_back(cause); }
  void on_hdlc_ready() override { ++readies; }

  HDLC* channel = nullptr;
  bool closeOnReceive = false;
  std::vector<std::string> frames;
  std::vector<int> errors;
  int readies = 0;
};

class HdlcChannel : public ::testing::Test {
protected:
  HdlcChannel() {
    Board::Sim::reset();
    control("hal switch clear");
    hdlc.notify = &listener;
    listener.channel = &hdlc;
    hdlc.trunk_no = 2;
    hdlc.params.timeslot = 5;
    hdlc.params.tdm = 69;
    hdlc.params.mode = 1;
  }
  ~HdlcChannel() override { traces.signalling_hdlc = false; }

  // Activated, its first writability reported, a peer on its far end.
  void open() {
    ASSERT_TRUE(hdlc.activate());
    ASSERT_TRUE(Testing::runUntil([&] { return listener.readies == 1; }));
    ASSERT_TRUE(far.connect(256, 2000));
    ASSERT_TRUE(Testing::runUntil([] { return control("mcc farend 256")[0].find(" attached") != std::string::npos; }));
  }
  bool send(const std::string& bytes) {
    Packet p;
    p.reserve_head(0);
    if (!bytes.empty()) p.put(bytes.data(), unsigned(bytes.size()));
    return hdlc.hdlc_transmit(p);
  }
  std::string counters() const {
    std::ostringstream s;
    s << hdlc.txSU << " " << hdlc.txDiscard << " " << hdlc.txError << " " << hdlc.txOverflow << " " << hdlc.rxSU;
    return s.str();
  }

  Testing::Capture errors{std::cerr};
  Testing::Capture log{std::clog};
  Listener listener;
  HDLC hdlc;
  Board::Sim::FarEndClient far;
};

TEST_F(HdlcChannel, EachModeAllocatesItsTypeAndCrossConnectsTheSwitch) {
  struct Case {
    int mode;
    Lines journal;
    Lines map;
  } cases[] = {
      {0, {"allocate type=3 rx_packet_size=512 reserved=0 rx_threshold=1 tx_threshold=4", "timeslot"}, {"69 <- 256", "256 <- 69"}},
      {1, {"allocate type=0 rx_packet_size=512 reserved=0 rx_threshold=1 tx_threshold=4", "timeslot"}, {"69 <- 256", "256 <- 69"}},
      {2, {"allocate type=1 rx_packet_size=512 reserved=0 rx_threshold=1 tx_threshold=4", "timeslot"}, {"70 <- 256", "256 <- 69"}},
  };
  hdlc.params.tdm_tx = 70;
  for (const Case& c : cases) {
    control("hal switch clear");
    control("mcc clear");
    hdlc.params.mode = c.mode;
    ASSERT_TRUE(hdlc.activate()) << c.mode;
    Lines journal;
    for (const std::string& line : control("mcc journal")) journal.push_back(line.substr(line.find(' ') + 1));
    EXPECT_EQ(journal, c.journal) << c.mode;
    EXPECT_EQ(control("hal switch map"), c.map) << c.mode;
    // The previous activation's channel was freed first: always one, always the first.
    EXPECT_EQ(control("mcc channels"), Lines{"256 type=" + c.journal[0].substr(14, 1)});
    EXPECT_TRUE(hdlc.is_open());
    EXPECT_FALSE(hdlc.is_ready());
  }
  EXPECT_EQ(errors.str(), "");
}

TEST_F(HdlcChannel, AFailedActivationIsLoggedAndLeavesTheChannelIdle) {
  struct Case {
    const char* fault;
    int mode;
    const char* line;
  } cases[] = {
      {"absent mcc", 1, "hdlc [2/5]: fail to open MCC device: No such file or directory\n"},
      {"fail mcc ioctl 0x40144D00 ENOSPC", 1, "hdlc [2/5]: MCC_ALLOCATE fail: No space left on device\n"},
      {"fail mcc ioctl 0x20004D02 EIO", 1, "hdlc [2/5]: MCC_TIMESLOT fail: Input/output error\n"},
      {"heal mcc", 3, "hdlc [2/5]: no channel type for mode 3\n"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(hdlc.activate());
    ASSERT_TRUE(send("\x01"));
    control(c.fault);
    hdlc.params.mode = c.mode;
    errors.clear();
    EXPECT_FALSE(hdlc.activate());
    EXPECT_EQ(errors.str(), c.line);
    EXPECT_FALSE(hdlc.is_open());
    EXPECT_EQ(counters(), "0 0 0 0 0") << c.fault;
    EXPECT_EQ(control("mcc channels"), Lines{}) << c.fault;
    Board::Sim::reset();
    hdlc.params.mode = 1;
  }
}

TEST_F(HdlcChannel, FramesOfEverySizeCrossBothWays) {
  traces.signalling_hdlc = true;
  open();
  const std::string largest(65536, '\x5A');
  for (const std::string& frame : {std::string("\x7E"), std::string("\x00\xFF", 2), largest}) {
    ASSERT_TRUE(send(frame));
    std::string got;
    ASSERT_TRUE(far.receive(got));
    EXPECT_EQ(got, frame);
  }
  // An empty frame is taken without a write.
  EXPECT_TRUE(send(""));
  std::string got;
  EXPECT_FALSE(far.receive(got, 20));

  // The controller delivers up to the allocation's 512 octets; an empty or longer frame is lost on the line.
  const std::string longest(512, '\xA5');
  for (const std::string& frame : {std::string(), std::string("\x01"), std::string(513, '\x11'),
                                   std::string("\x02\x03"), longest}) {
    ASSERT_TRUE(far.send(frame));
  }
  ASSERT_TRUE(Testing::runUntil([&] { return listener.frames.size() == 3; }));
  EXPECT_EQ(listener.frames, (Lines{"\x01", "\x02\x03", longest}));
  EXPECT_EQ(counters(), "3 0 0 0 3");
  EXPECT_EQ(control("mcc counters"), Lines{"256 tx 3/65539 lost 0 rx 3/515 dropped 2"});
  const std::string trace = log.str();
  // Activation starts by closing what was open.
  const std::string start = "hdlc [2/5]: deactivated\nhdlc [2/5]: activated\n";
  EXPECT_EQ(trace.substr(0, start.size()), start);
  EXPECT_NE(trace.find("HDLC[2]: tx 00 FF\nHDLC[2]: tx 5A 5A"), std::string::npos);
  EXPECT_NE(trace.find("hdlc [2/5]: do_read\nHDLC[2]: rx 02 03\n"), std::string::npos);
  EXPECT_EQ(listener.readies, 1);
}

TEST_F(HdlcChannel, AWriteThatWouldBlockWaitsForWritabilityOtherFailuresAreCounted) {
  open();
  control("mcc refuse 256 EAGAIN");
  EXPECT_FALSE(send("\x01"));
  EXPECT_FALSE(hdlc.is_ready());
  EXPECT_EQ(counters(), "0 0 0 0 0");
  // The next report of writability makes it ready and tells the listener once.
  ASSERT_TRUE(Testing::runUntil([&] { return listener.readies == 2; }));
  Testing::runFor(20);
  EXPECT_EQ(listener.readies, 2);
  EXPECT_TRUE(hdlc.is_ready());
  EXPECT_TRUE(send("\x01"));
  control("mcc refuse 256 EIO 2");
  EXPECT_FALSE(send("\x02"));
  EXPECT_FALSE(send("\x03"));
  EXPECT_TRUE(hdlc.is_ready());
  EXPECT_EQ(counters(), "1 0 2 0 0");
  hdlc.deactivate();
  EXPECT_FALSE(send("\x04"));
  EXPECT_FALSE(send("\x05"));
  EXPECT_EQ(counters(), "1 2 2 0 0");
  EXPECT_EQ(control("mcc written"), Lines{"256 01"});
  // A new activation counts from zero.
  ASSERT_TRUE(hdlc.activate());
  EXPECT_EQ(counters(), "0 0 0 0 0");
}

TEST_F(HdlcChannel, AHungUpDescriptorClosesTheChannelOnceAndIsNotWatchedAgain) {
  open();
  control("mcc hangup 256");
  ASSERT_TRUE(Testing::runUntil([&] { return !listener.errors.empty(); }));
  Testing::runFor(30);
  EXPECT_EQ(listener.errors, std::vector<int>{0});
  EXPECT_EQ(errors.str(), "hdlc [2/5]: read error: end of file\n");
  EXPECT_FALSE(hdlc.is_open());
  EXPECT_EQ(control("mcc channels"), Lines{});
  EXPECT_FALSE(send("\x01"));
  EXPECT_EQ(counters(), "0 1 0 0 0");
}

TEST_F(HdlcChannel, AListenerThatClosesTheChannelOnAFrameHearsNothingMore) {
  ASSERT_TRUE(hdlc.activate());
  listener.closeOnReceive = true;
  control("mcc receive 256 0102");
  // The frame and the first writability come in one report: the channel closed under it.
  ASSERT_TRUE(Testing::runUntil([&] { return !listener.frames.empty(); }));
  Testing::runFor(20);
  EXPECT_EQ(listener.readies, 0);
  EXPECT_FALSE(hdlc.is_ready());
  EXPECT_FALSE(hdlc.is_open());
}

}  // namespace
