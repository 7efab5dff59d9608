// The HDLC channel on the simulated controller and the real main loop: the
// allocation and switch connections of each mode, failed activations,
// frames of every size to and from a peer on the far-end socket, readiness
// after a write that would block, the counters, and a descriptor that hangs up.

#include <gtest/gtest.h>

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
  lines.pop_back();
  return lines;
}

struct Listener : HDLC::Notify {
  void on_hdlc_receive(Packet& frame) override {
    frames.emplace_back(reinterpret_cast<const char*>(frame.data()), frame.length());
    if (closing) closing->deactivate();
  }
  void on_hdlc_error(Cause::Type cause) override { errors.push_back(cause); }
  void on_hdlc_ready() override { ++readies; }
  HDLC* closing = nullptr;
  Lines frames;
  std::vector<int> errors;
  int readies = 0;
};

class HdlcChannel : public ::testing::Test {
protected:
  HdlcChannel() {
    Board::Sim::reset();
    control("hal switch clear");
    hdlc.notify = &listener;
    hdlc.trunk_no = 2;
    hdlc.params = {2, 5, 69, 70, 1};
  }
  ~HdlcChannel() override { traces.signalling_hdlc = false; }

  // Activated, writable, and a peer on its far end.
  void open() {
    ASSERT_TRUE(hdlc.activate());
    ASSERT_TRUE(Testing::runUntil([&] { return listener.readies == 1; }));
    ASSERT_TRUE(far.connect(256, 2000));
    ASSERT_TRUE(Testing::runUntil([] { return control("mcc farend 256")[0].find("attached") != std::string::npos; }));
  }
  bool send(const std::string& bytes) {
    Packet p;
    p.reserve_head(0);
    if (!bytes.empty()) p.put(bytes.data(), unsigned(bytes.size()));
    return hdlc.hdlc_transmit(p);
  }
  std::string counters() const {
    return std::to_string(hdlc.txSU) + " " + std::to_string(hdlc.txDiscard) + " " + std::to_string(hdlc.txError) + " " +
           std::to_string(hdlc.txOverflow) + " " + std::to_string(hdlc.rxSU);
  }

  Testing::Capture errors{std::cerr};
  Testing::Capture log{std::clog};
  Listener listener;
  HDLC hdlc;
  Board::Sim::FarEndClient far;
};

TEST_F(HdlcChannel, ActivationAllocatesByModeCrossConnectsAndFailsCleanly) {
  const struct {
    int mode;
    const char* fault;
    std::string result;  // the journal's allocation and the switch map, or the error line
  } cases[] = {
      {0, "", "allocate type=3 rx_packet_size=512 reserved=0 rx_threshold=1 tx_threshold=4|69 <- 256|256 <- 69|"},
      {1, "", "allocate type=0 rx_packet_size=512 reserved=0 rx_threshold=1 tx_threshold=4|69 <- 256|256 <- 69|"},
      {2, "", "allocate type=1 rx_packet_size=512 reserved=0 rx_threshold=1 tx_threshold=4|70 <- 256|256 <- 69|"},
      {1, "absent mcc", "hdlc [2/5]: fail to open MCC device: No such file or directory\n"},
      {1, "fail mcc ioctl 0x40144D00 ENOSPC", "hdlc [2/5]: MCC_ALLOCATE fail: No space left on device\n"},
      {1, "fail mcc ioctl 0x20004D02 EIO", "hdlc [2/5]: MCC_TIMESLOT fail: Input/output error\n"},
      {3, "", "hdlc [2/5]: no channel type for mode 3\n"},
  };
  for (const auto& c : cases) {
    // Whatever was open before is closed first, and the counters start again.
    Board::Sim::reset();
    hdlc.params.mode = 1;
    ASSERT_TRUE(hdlc.activate());
    ASSERT_TRUE(send("\x01"));
    control("mcc clear");
    control("hal switch clear");
    control(c.fault);
    hdlc.params.mode = c.mode;
    errors.clear();
    const bool opened = hdlc.activate();
    std::string result = errors.str();
    if (opened) {
      const std::string allocation = control("mcc journal")[0];
      result = allocation.substr(allocation.find(' ') + 1) + "|";
      for (const std::string& line : control("hal switch map")) result += line + "|";
    }
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(hdlc.is_open(), opened);
    EXPECT_FALSE(hdlc.is_ready());
    EXPECT_EQ(counters(), "0 0 0 0 0");
    EXPECT_EQ(control("mcc channels").size(), opened ? 1u : 0u) << c.fault;
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
  EXPECT_TRUE(send(""));  // taken without a write
  // The controller delivers up to the allocation's 512 octets: an empty or longer frame is lost.
  const std::string longest(512, '\xA5');
  for (const std::string& frame :
       {std::string(), std::string("\x01"), std::string(513, '\x11'), std::string("\x02\x03"), longest}) {
    ASSERT_TRUE(far.send(frame));
  }
  ASSERT_TRUE(Testing::runUntil([&] { return listener.frames.size() == 3; }));
  EXPECT_EQ(listener.frames, (Lines{"\x01", "\x02\x03", longest}));
  EXPECT_EQ(counters(), "3 0 0 0 3");
  EXPECT_EQ(control("mcc counters"), Lines{"256 tx 3/65539 lost 0 rx 3/515 dropped 2"});
  const std::string trace = log.str();
  EXPECT_EQ(trace.substr(0, 46), "hdlc [2/5]: deactivated\nhdlc [2/5]: activated\n");
  EXPECT_NE(trace.find("HDLC[2]: tx 00 FF\nHDLC[2]: tx 5A 5A"), std::string::npos);
  EXPECT_NE(trace.find("hdlc [2/5]: do_read\nHDLC[2]: rx 02 03\n"), std::string::npos);
}

TEST_F(HdlcChannel, AWriteThatWouldBlockWaitsForWritabilityOtherFailuresAreCounted) {
  open();
  control("mcc refuse 256 EAGAIN");
  EXPECT_FALSE(send("\x01"));
  EXPECT_FALSE(hdlc.is_ready());
  // The next writability report makes it ready and tells the listener, once.
  ASSERT_TRUE(Testing::runUntil([&] { return listener.readies == 2; }));
  Testing::runFor(20);
  EXPECT_EQ(listener.readies, 2);
  EXPECT_TRUE(send("\x01"));
  control("mcc refuse 256 EIO 2");
  EXPECT_FALSE(send("\x02"));
  EXPECT_FALSE(send("\x03"));
  EXPECT_TRUE(hdlc.is_ready());
  hdlc.deactivate();
  EXPECT_FALSE(send("\x04"));
  EXPECT_EQ(counters(), "1 1 2 0 0");
  EXPECT_EQ(control("mcc written"), Lines{"256 01"});
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
}

TEST_F(HdlcChannel, AListenerThatClosesTheChannelOnAFrameHearsNoMoreOfThatReport) {
  ASSERT_TRUE(hdlc.activate());
  listener.closing = &hdlc;
  // The frame and the first writability come in one report.
  control("mcc receive 256 0102");
  ASSERT_TRUE(Testing::runUntil([&] { return !listener.frames.empty(); }));
  Testing::runFor(20);
  EXPECT_EQ(listener.readies, 0);
  EXPECT_FALSE(hdlc.is_ready());
}

}  // namespace
