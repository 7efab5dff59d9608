#pragma once
// The board's control services in this process, bound after the controller
// server fixture's heartbeat and probes, on the simulated board and a pinned
// loop clock. Expected frames are built with the generated classes and
// compared as hex, byte for byte.

#include <string>
#include <vector>

#include "asn1/CoderEnv.h"
#include "board/Board.h"
#include "board/sim/Sim.h"
#include "foundation/eventloop/Multiplexer.h"
#include "hardware/BusCtl.h"
#include "hardware/E1Ctl.h"
#include "hardware/HwTests.h"
#include "hardware/spiCtrl.h"
#include "testing/Capture.h"
#include "testing/CtrlServerFixture.h"
#include "testing/Frames.h"
#include "testing/Loop.h"

namespace hw {

using Frames = std::vector<std::string>;
using Lines = std::vector<std::string>;

inline LGCP::Message decode(const std::string& hex) {
  const std::string raw = Testing::bytes(hex);
  LGCP::Message msg;
  EXPECT_TRUE(ASN1::CoderEnv(ASN1::CoderEnv::per_Aligned).decode(raw.data(), raw.data() + raw.size(), msg)) << hex;
  return msg;
}

// A message without seq and slot carrying the pdu.
template <class Fill>
std::string frame(Fill fill) {
  LGCP::Message msg;
  fill(msg.get_pdu());
  std::vector<char> out;
  EXPECT_GE(ASN1::CoderEnv(ASN1::CoderEnv::per_Aligned).encode(msg, out), 0);
  return Testing::hex(std::string(out.begin(), out.end()));
}

const std::string success = "10";
const std::string busError = "1a80";

inline std::string casFrame(int trunk, int timeslot, int rx, int tx) {
  return frame([&](LGCP::PDU& pdu) {
    LGCP::CasSignalling& cas = pdu.select_signal().select_cas();
    cas.get_channel().set_path(trunk);
    cas.get_channel().set_timeslot(timeslot);
    cas.set_rx(rx);
    cas.set_tx(tx);
  });
}

inline std::string briFrame(int line, ACP::TrunkState::NamedNumber state, int slips = 0) {
  return frame([&](LGCP::PDU& pdu) {
    ACP::TrunkStatus& t = pdu.select_signal().select_trunkStatus();
    t.set_trunk(line);
    t.set_state(state);
    t.set_slips(slips);
    t.set_type(ACP::TrunkType::bri);
  });
}

// The trunk statuses of one type among the frames, in order.
inline Frames statuses(const Frames& all, ACP::TrunkType::NamedNumber type) {
  Frames picked;
  for (const std::string& f : all) {
    const LGCP::Message msg = decode(f);
    const LGCP::PDU& pdu = msg.get_pdu();
    if (pdu.currentSelection() == LGCP::PDU::e_signal &&
        pdu.get_signal().currentSelection() == LGCP::Signal::e_trunkStatus &&
        pdu.get_signal().get_trunkStatus().get_type().get() == type)
      picked.push_back(f);
  }
  return picked;
}

// A control line's reply without its closing "OK" (which it must have).
inline Lines board(const std::string& line) {
  Lines lines = Board::Sim::control(line);
  EXPECT_EQ(lines.back(), "OK") << line;
  lines.pop_back();
  return lines;
}

// Runs the loop, polling without waiting, until a pass finds no descriptor ready.
inline bool quiesce() {
  static bool idle;
  idle = false;
  multiplexer.set_poll([](pollfd* fds, nfds_t count, int) {
    const int ready = Board::poll(fds, count, 0);
    if (ready == 0) idle = true;
    return ready;
  });
  const bool done = Testing::runUntil([] { return idle; });
  multiplexer.set_poll(nullptr);
  return done;
}

inline void bindServices() {
  Testing::bindProbesOnce();
  static bool bound = false;
  if (bound) return;
  bound = true;
  CtrlSrv::ctrlServer.Bind(&HwTests::instance());
  CtrlSrv::ctrlServer.Bind(&BusCtl::instance());
  CtrlSrv::ctrlServer.Bind(&E1Ctl::instance());
  CtrlSrv::ctrlServer.Bind(&spiCtrl::instance());
}

class ServiceTest : public Testing::CtrlServerTest {
protected:
  void SetUp() override {
    Board::Sim::reset();
    bindServices();
    CtrlServerTest::SetUp();
    c = connect();
    settle();
  }

  // What arrives once the loop has nothing left to do: every descriptor
  // read, every frame it caused sent.
  Frames settle() {
    c->frames.clear();
    EXPECT_TRUE(quiesce());
    c->pump();
    return c->frames;
  }

  // Sends a command; every frame up to its reply, the reply included.
  Frames command(const LGCP::Command& cmd) {
    c->frames.clear();
    c->send(frame([&](LGCP::PDU& pdu) { pdu.select_command() = cmd; }));
    Testing::runUntil([&] {
      c->pump();
      return !c->frames.empty() && decode(c->frames.back()).get_pdu().currentSelection() == LGCP::PDU::e_response;
    });
    return c->frames;
  }

  // Moves the pinned loop clock; what that sent.
  Frames advance(unsigned ms) {
    clock.advance(ms);
    return settle();
  }

  void disconnect() {
    c.reset();
    ASSERT_TRUE(Testing::runUntil([] { return Testing::firstProbe().disconnects == 1; }));
  }

  Testing::PinnedClock clock{Testing::PinnedClock::Present};
  std::unique_ptr<Testing::Controller> c;
};

}  // namespace hw
