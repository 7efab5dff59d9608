#pragma once
// The board's control services in this process, bound after the controller
// server fixture's heartbeat and probes, on the simulated board and a pinned
// loop clock. Frames are compared as the hex of messages built with the
// generated classes, so every comparison is byte for byte.

#include <string>
#include <vector>

#include "asn1/CoderEnv.h"
#include "board/sim/Sim.h"
#include "hardware/BusCtl.h"
#include "hardware/E1Ctl.h"
#include "hardware/HwTests.h"
#include "hardware/spiCtrl.h"
#include "server/tests/unit/Fixture.h"

namespace hw {

using Frames = std::vector<std::string>;

inline std::string encode(const LGCP::Message& msg) {
  std::vector<char> out;
  EXPECT_GE(ASN1::CoderEnv(ASN1::CoderEnv::per_Aligned).encode(msg, out), 0);
  return frames::hex(std::string(out.begin(), out.end()));
}

inline LGCP::Message decode(const std::string& hex) {
  const std::string raw = frames::bytes(hex);
  LGCP::Message msg;
  EXPECT_TRUE(ASN1::CoderEnv(ASN1::CoderEnv::per_Aligned).decode(raw.data(), raw.data() + raw.size(), msg)) << hex;
  return msg;
}

inline std::string commandFrame(const LGCP::Command& cmd) {
  LGCP::Message msg;
  msg.get_pdu().select_command() = cmd;
  return encode(msg);
}

inline std::string signalFrame(const LGCP::Signal& sig) {
  LGCP::Message msg;
  msg.get_pdu().select_signal() = sig;
  return encode(msg);
}

inline std::string errorFrame(LGCP::ErrorCause::NamedNumber cause) {
  LGCP::Message msg;
  msg.get_pdu().select_response().select_error().setValue(cause);
  return encode(msg);
}

// The success reply to a command without seq and slot.
const std::string success = "10";

inline std::string casFrame(int trunk, int timeslot, int rx, int tx) {
  LGCP::Signal sig;
  LGCP::CasSignalling& cas = sig.select_cas();
  cas.get_channel().set_path(trunk);
  cas.get_channel().set_timeslot(timeslot);
  cas.set_rx(rx);
  cas.set_tx(tx);
  return signalFrame(sig);
}

struct Status {
  int trunk;
  ACP::TrunkState::NamedNumber state;
  int slips = 0, lossBF = 0, lossCarrier = 0, lossAIS = 0, lossRAI = 0;
};

inline std::string statusFrame(const Status& s, ACP::TrunkType::NamedNumber type) {
  LGCP::Signal sig;
  ACP::TrunkStatus& t = sig.select_trunkStatus();
  t.set_trunk(s.trunk);
  t.set_state(s.state);
  t.set_slips(s.slips);
  t.set_lossBF(s.lossBF);
  t.set_lossCarrier(s.lossCarrier);
  t.set_lossAIS(s.lossAIS);
  t.set_lossRAI(s.lossRAI);
  t.set_name("");
  t.set_clockMaster(false);
  t.set_type(type);
  return signalFrame(sig);
}

// Frames that are signals of one alternative, in order.
inline Frames signalsOf(const Frames& all, LGCP::Signal::Alternative alt) {
  Frames picked;
  for (const std::string& f : all) {
    const LGCP::Message msg = decode(f);
    if (msg.get_pdu().currentSelection() == LGCP::PDU::e_signal &&
        msg.get_pdu().get_signal().currentSelection() == int(alt))
      picked.push_back(f);
  }
  return picked;
}

inline bool isReply(const std::string& frame) {
  return decode(frame).get_pdu().currentSelection() == LGCP::PDU::e_response;
}

// Statuses of one type with every counter zero, for trunks first..last.
inline Frames quietStatuses(int first, int last, ACP::TrunkType::NamedNumber type,
                            ACP::TrunkState::NamedNumber state) {
  Frames all;
  for (int n = first; n <= last; ++n) all.push_back(statusFrame({n, state}, type));
  return all;
}

inline void bindServices() {
  fixture::bindOnce();
  static bool bound = false;
  if (bound) return;
  bound = true;
  CtrlSrv::ctrlServer.Bind(&HwTests::instance());
  CtrlSrv::ctrlServer.Bind(&BusCtl::instance());
  CtrlSrv::ctrlServer.Bind(&E1Ctl::instance());
  CtrlSrv::ctrlServer.Bind(&spiCtrl::instance());
}

inline std::vector<std::string> board(const std::string& line) { return Board::Sim::control(line); }

class ServiceTest : public fixture::ServerTest {
protected:
  void SetUp() override {
    Board::Sim::reset();
    bindServices();
    ServerTest::SetUp();
  }

  // A controller, with what its connect brought already taken in.
  std::unique_ptr<fixture::Controller> controller() {
    auto c = connect();
    settle(*c);
    return c;
  }

  // What arrives within a few loop passes, the frames taken before cleared.
  Frames settle(fixture::Controller& c) {
    c.frames.clear();
    fixture::run_for(30);
    c.pump();
    return c.frames;
  }

  // Sends a command and returns every frame up to its reply, the reply included.
  Frames command(fixture::Controller& c, const LGCP::Command& cmd) {
    c.frames.clear();
    c.send(commandFrame(cmd));
    fixture::run_until([&] {
      c.pump();
      return !c.frames.empty() && isReply(c.frames.back());
    });
    return c.frames;
  }

  // Moves the pinned loop clock and takes in what that sent.
  Frames advance(fixture::Controller& c, unsigned ms) {
    c.frames.clear();
    clock.advance(ms);
    fixture::run_for(30);
    c.pump();
    return c.frames;
  }

  fixture::PinnedClock clock;
};

}  // namespace hw
