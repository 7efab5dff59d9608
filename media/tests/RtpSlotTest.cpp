// RTP slots in this process, made by the factory on the simulated RTP
// engine, with a UDP peer on the loopback as the far end's RTCP port: the
// session record byte for byte, the refusals, the destroy order, codec
// restarts and the engine's events. Signals are seen as the other bound
// services see them, in value notation.

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <sstream>

#include "board/Board.h"
#include "board/DevicePaths.h"
#include "board/Paths.h"
#include "board/sim/Sim.h"
#include "media/RtpFactory.h"
#include "media/RtpSlot.h"
#include "media/tests/RtcpPeer.h"
#include "media/tests/Tshark.h"
#include "server/slot/Slots.h"
#include "testing/Capture.h"
#include "testing/CtrlServerFixture.h"
#include "testing/Loop.h"

namespace {

using Lines = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;
using TERM::Payload;

Lines control(const std::string& line) {
  Lines lines = Board::Sim::control(line);
  EXPECT_EQ(lines.back(), "OK") << line;
  lines.pop_back();
  return lines;
}

// The engine's journal without the times; the journal is emptied.
Lines journal() {
  Lines texts;
  for (const std::string& line : control("rtp journal")) texts.push_back(line.substr(line.find(' ') + 1));
  control("rtp clear");
  return texts;
}

// The slot's own lines of a log text (the loop and the server have theirs).
std::string slotLines(const std::string& text) {
  std::istringstream in(text);
  std::string kept;
  for (std::string line; std::getline(in, line);) kept += line.compare(0, 4, "rtp[") ? "" : line + "\n";
  return kept;
}

// `n` bytes from `at` as lower-case hex.
std::string hex(const Bytes& bytes, size_t at = 0, size_t n = std::string::npos) {
  std::string text;
  char digits[3];
  for (size_t i = at; i < bytes.size() && i - at < n; ++i) text += (std::snprintf(digits, 3, "%02x", bytes[i]), digits);
  return text;
}
std::string hex16(unsigned v) { return hex({uint8_t(v >> 8), uint8_t(v)}); }

struct SlotDeleter {
  void operator()(Slot* slot) const {
    slot->BeforeDestroy();
    delete slot;
  }
};
using SlotPtr = std::unique_ptr<Slot, SlotDeleter>;

class RtpSlots : public ::testing::Test {
protected:
  void SetUp() override {
    Testing::bindProbesOnce();
    static bool bound = false;
    if (!bound) CtrlSrv::ctrlServer.Bind(&Slots::instance());
    bound = true;
    Testing::firstProbe().clear();
    Board::Sim::reset();
    logs.take();
  }

  // A create for a far end at 127.0.0.1 whose RTCP port is the peer's.
  LGCP::CreateParams params(Payload::NamedNumber payload = Payload::ptG711_Alaw) {
    LGCP::CreateParams p;
    LGCP::CreateRtpParams& rtp = p.select_rtp();
    rtp.get_codecRTP().set_payload(payload);
    rtp.get_codecRTP().get_dhost().set_iaddr("127.0.0.1");
    rtp.get_codecRTP().get_dhost().set_port(peer.port - 1u);
    rtp.set_txPayload(payload);
    rtp.set_rxPayload(payload);
    return p;
  }
  static TERM::RtpParams& codec(LGCP::CreateParams& p) { return p.select_rtp().get_codecRTP(); }
  SlotPtr create(const LGCP::CreateParams& p) { return SlotPtr(RtpFactory::instance().NewSlot(p)); }

  RtcpPeer peer;
  Testing::Capture logs{&std::cerr, &std::clog};
};

TEST_F(RtpSlots, TheSessionRecordCarriesEveryParameterOrItsDefault) {
  const unsigned short spare = RtcpPeer().port;  // closed again: a port the slot's RTCP socket can have
  LGCP::CreateParams all = params(Payload::ptG729);
  TERM::HostAddress source;
  source.set_iaddr("10.1.2.3");
  source.set_port(spare - 1u);
  codec(all).set_shost(source);
  all.select_rtp().set_rxPayload(Payload::ptG711_Alaw);
  codec(all).set_pfactor(0x12345);
  codec(all).set_vad(true);
  codec(all).set_crate(5);
  codec(all).set_ssrc(0xDEADBEEF);
  codec(all).set_ttl(64);
  codec(all).set_qos_dscp(TERM::IpQoSDSCP::NamedNumber(46));
  SlotPtr slot = create(all);
  ASSERT_TRUE(slot) << logs.take();
  // Far end, source 10.1.2.3, rx 8 (the A-law override), tx 18, factor 0x2345, VAD, crate, SSRC, TTL 64, TOS 0xB8.
  const std::string record = "7f000001" + hex16(peer.port - 1u) +
                             "0000"
                             "0a010203" +
                             hex16(spare - 1u) +
                             "0008001223450101"
                             "0000deadbeef"
                             "0000000000000000"
                             "00000040000000b8";
  EXPECT_EQ(journal(), (Lines{"begin 1 " + record, "add-channel 1 ffffffffffffffffffffffff00000000"}));
  EXPECT_EQ(control("rtp sessions"), Lines{"1 channel=1024 input=off pd=off session=" + record});
  unsigned from = 0;
  EXPECT_EQ(hex(peer.receive(&from), 0, 8), "81ca0010deadbeef");
  EXPECT_EQ(from, spare) << "RTCP leaves from the source port + 1";

  // Without the optional fields: source 0 and the far end's port, rx and tx from the payload (G.729 is no
  // G.711 override), factor 0, no VAD, a generated SSRC, TTL 0, TOS all ones.
  LGCP::CreateParams bare = params(Payload::ptG723);
  bare.select_rtp().set_rxPayload(Payload::ptG729);
  SlotPtr second = create(bare);
  ASSERT_TRUE(second) << logs.take();
  const std::string begun = journal().at(0).substr(8);
  EXPECT_EQ(begun.substr(0, 48), "7f000001" + hex16(peer.port - 1u) +
                                     "0000"
                                     "00000000" +
                                     hex16(peer.port - 1u) +
                                     "000400040000"
                                     "00000000");
  EXPECT_EQ(begun.substr(56),
            "0000000000000000"
            "00000000"
            "ffffffff");
  EXPECT_EQ(hex(peer.receive(&from), 4, 4), begun.substr(48, 8)) << "the SDES carries the generated SSRC";
  EXPECT_EQ(from, peer.port) << "RTCP binds the far end's port + 1 without a source";
  EXPECT_EQ(control("rtp sessions").back().substr(0, 14), "2 channel=1025");
}

TEST_F(RtpSlots, RefusedCreatesLeaveNothingOpen) {
  using Change = void (*)(TERM::RtpParams&);
  const struct {
    Change change;
    const char* fault;  // a control line
    std::string line;
  } cases[] = {
      {[](auto& c) { c.set_payload(Payload::ptT38_UDP_TL); }, nullptr, "payload ptT38-UDP-TLnot found"},
      {[](auto& c) { c.set_payload(Payload::reserv_1); }, nullptr, "payload reserv-1not found"},
      {[](auto& c) { c.set_payload(Payload::ptR2S); }, nullptr, "payload ptR2Snot found"},
      {[](auto& c) { c.get_dhost().set_iaddr("10.0.0.300"); }, nullptr, "bad address \"10.0.0.300\""},
      {[](auto& c) { c.set_shost(c.get_dhost()), c.get_shost().set_iaddr("x"); }, nullptr, "bad address \"x\""},
      {nullptr, "absent /dev/rtp",
       "device \"" + Board::Paths::path("/dev/rtp") + "\" open fail: No such file or directory"},
      {nullptr, "fail rtp ioctl 0xC02C5200 EBUSY", "begin session fail !!! "},
      {nullptr, "fail rtp ioctl 0xC0105202 ENOSPC", "add channel fail !!!"},
  };
  // The factory's prefix shows the counts of its last query, which keeps some from a test before: one of each.
  for (const char* count : {"4 1", "2 2", "1 3", "8 4", "65 5"}) control(std::string("voice channels ") + count);
  RtpFactory::instance().IQuery();
  logs.take();
  for (const auto& c : cases) {
    Board::Sim::reset();
    LGCP::CreateParams p = params();
    if (c.change) c.change(codec(p));
    if (c.fault) control(c.fault);
    EXPECT_FALSE(create(p)) << c.line;
    const std::string text = logs.take();
    const std::string line = "rtp[2,1,3,5]: " + (c.change ? "rtp do not created: " + c.line : c.line);
    EXPECT_EQ(text.substr(text.rfind('\n', text.size() - 2) + 1), line + "\n");
    EXPECT_EQ(control("rtp sessions"), Lines{}) << c.line;
  }
  // The RTCP port taken by a socket that does not share it.
  Fd taken(::socket(AF_INET, SOCK_DGRAM, 0));
  sockaddr_in a{AF_INET, htons(peer.port + 1u), {}, {}};
  ASSERT_EQ(::bind(taken.get(), reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  LGCP::CreateParams busy = params();
  codec(busy).get_dhost().set_port(peer.port);
  EXPECT_FALSE(create(busy));
  EXPECT_NE(logs.take().find("rtp do not created: can not bind socket [errno=Address already in use, port=" +
                             std::to_string(peer.port + 1) + "]\n"),
            std::string::npos);
  // A radio part belongs to the radio factories: no word.
  LGCP::CreateParams radio = params();
  codec(radio).includeOptionalField(TERM::RtpParams::o_radio, TERM::RtpParams::e_radio);
  EXPECT_FALSE(create(radio));
  EXPECT_EQ(logs.take(), "");
}

TEST_F(RtpSlots, DestroyTearsDownInOrderAndSaysGoodbye) {
  SlotPtr slot = create(params());
  ASSERT_TRUE(slot);
  const Bytes sdes = peer.receive();
  journal();
  slot.reset();
  EXPECT_EQ(journal(), (Lines{"teardown-10 1", "teardown-3 1", "teardown-11 1", "event-off 1 00000001"}));
  EXPECT_EQ(control("rtp sessions"), Lines{}) << "released with its last descriptor";
  const Bytes bye = peer.receive();
  EXPECT_EQ(hex(bye), "81cb0004" + hex(sdes, 4, 4) + "0b73657373696f6e20656e64");  // "session end"

  if (!Tshark::available()) GTEST_SKIP() << Tshark::missing();
  // The peer's port is the kernel's choice; in the capture a fixed one, since
  // the dissector remarks on some ports (33435-33464 look like traceroute).
  const auto capture = Tshark::writeCapture("rtp-slot", 5005, {sdes, bye});
  const auto lines = Tshark::fields(capture, "-d udp.port==5005,rtcp",
                                    {"rtcp.pt", "rtcp.length", "rtcp.sdes.type", "rtcp.sdes.text", "rtcp.length_check",
                                     "_ws.malformed", "_ws.expert.message"});
  EXPECT_EQ(lines, (Lines{"202\t16\t1,3,4,0\tSandrix Quorvanta,support@example.net,+44 20 7946 0000\t1\t\t",
                          "203\t4\t\tsession end\t1\t\t"}));
}

TEST_F(RtpSlots, ACodecChangeRestartsTheSessionAndItsEventsFollow) {
  SlotPtr slot = create(params(Payload::ptG729));
  ASSERT_TRUE(slot);
  journal();
  logs.take();
  LGCP::IoctlParams same, alaw, lbrc, pd;
  same.select_encoder_mode().setValue(LGCP::CodecMode::ulaw);  // G.729 without override sends 18: not u-law
  EXPECT_TRUE(slot->Ioctl(same));
  EXPECT_EQ(logs.take(), "rtp[1024]: do restart RTP session (change tx payload):encoder-mode : ulaw - OK\n");
  EXPECT_EQ(journal().size(), 2u);
  EXPECT_TRUE(slot->Ioctl(same));
  EXPECT_EQ(logs.take(), "rtp[1024]: do restart RTP session (change tx payload):encoder-mode : ulaw - Nothing to do\n");
  alaw.select_decoder_mode().setValue(LGCP::CodecMode::alaw);
  EXPECT_TRUE(slot->Ioctl(alaw));
  const Lines restart = journal();
  ASSERT_EQ(restart.size(), 2u);
  EXPECT_EQ(restart[0].substr(0, 44), "begin 3 7f000001" + hex16(peer.port - 1u) +
                                          "0000"
                                          "00000000" +
                                          hex16(peer.port - 1u) + "00080000");  // rx 8, tx 0
  EXPECT_EQ(restart[1], "add-channel 3 00000400ffffffffffffffff00000000");
  EXPECT_EQ(control("rtp sessions").size(), 1u) << "the old sessions are released";
  EXPECT_EQ(logs.take(), "rtp[1024]: do restart RTP session (change tx payload):decoder-mode : alaw\n");

  // Events come from the new session; the old one is gone.
  pd.select_pd_enable().set_timeout(300);
  EXPECT_TRUE(slot->Ioctl(pd));
  EXPECT_EQ(journal(), Lines{"event-on 3 00000001"
                             "00000000"
                             "0000012c"
                             "00000000"
                             "00000000"
                             "0000012c"
                             "00000000"
                             "00000000"
                             "00000000"});
  control("rtp event 3 1 7");
  control("rtp event 3 2 9 9");
  Board::Sim::control("rtp event 1 1 7");
  ASSERT_TRUE(Testing::runUntil([] { return !Testing::firstProbe().seen.empty(); }));
  Testing::runFor(20);
  LGCP::Signal signal;
  signal.select_rtp().select_pd().set_value(7);
  signal.select_rtp().select_pd().set_timeout(300);
  EXPECT_EQ(Testing::firstProbe().seen, Lines{signal.asValueNotation()}) << "type 2 is not reported";
  EXPECT_EQ(slotLines(logs.take()),
            "rtp[1024]: RTP SET EVENT PD timeout=300\nrtp[1024]: rtp event:  type=1\n"
            "rtp[1024]: rtp event:  type=2\n");

  // lbrc goes back to the payload the slot was created with; a failed restart leaves no session.
  lbrc.select_decoder_mode().setValue(LGCP::CodecMode::lbrc);
  control("fail rtp ioctl 0xC02C5200 EIO");
  EXPECT_FALSE(slot->Ioctl(lbrc));
  EXPECT_EQ(logs.take(),
            "rtp[1024]: do restart RTP session (change tx payload):decoder-mode : lbrc\n"
            "rtp[1024]: fail to restart RTP session!\n");
  EXPECT_EQ(control("rtp sessions"), Lines{});
  EXPECT_FALSE(slot->Ioctl(pd));
  EXPECT_EQ(logs.take(), "rtp[1024]: RTP SET EVENT PD fail: errno=\"Bad file descriptor\"\n");
  // The failed change kept its payload type: asked again, it is nothing to do, session or not.
  control("heal rtp");
  journal();
  EXPECT_TRUE(slot->Ioctl(lbrc));
  EXPECT_EQ(logs.take(), "rtp[1024]: do restart RTP session (change tx payload):decoder-mode : lbrc - Nothing to do\n");
  EXPECT_EQ(journal(), Lines{}) << "no restart";
  EXPECT_EQ(control("rtp sessions"), Lines{});
}

TEST_F(RtpSlots, ReceiverEventsReachTheControllerAndAHangUpIsLeftAlone) {
  SlotPtr slot = create(params());
  ASSERT_TRUE(slot);
  LGCP::IoctlParams pdOff, dtmf, vad;
  pdOff.select_pd_disable();
  dtmf.select_dtmf_enable().setValue(true);
  vad.select_vad_enable().setValue(true);
  EXPECT_TRUE(slot->Ioctl(dtmf) && slot->Ioctl(vad));
  logs.take();
  Testing::runFor(20);  // an empty queue: the loop goes on
  control("dtmf event 1024 5");
  control("dsp vad 1024 1 1 0");
  ASSERT_TRUE(Testing::runUntil([] { return Testing::firstProbe().seen.size() >= 2; }));
  std::set<std::string> seen;
  for (const std::string& s : Testing::firstProbe().seen) seen.insert(s.substr(0, s.find(' ')));
  EXPECT_EQ(seen, (std::set<std::string>{"tonec", "vad"}));
  EXPECT_TRUE(slot->Ioctl(pdOff));
  control("fail rtp ioctl 0x8004520D EIO");
  EXPECT_FALSE(slot->Ioctl(pdOff));
  EXPECT_EQ(slotLines(logs.take()),
            "rtp[1024]: RTP RESET EVENT PD\n"
            "rtp[1024]: RTP RESET EVENT PD fail: errno=\"Input/output error\"\n");

  // Each read waited for, however late the loop gets to it; then a while for anything more.
  auto loggedSoFar = [this](const char* text) { return logs.str().find(text) != std::string::npos; };
  control("rtp raw 00000001000000070000");  // a record cut short: no signal
  EXPECT_TRUE(Testing::runUntil([&] { return loggedSoFar("bytes dropped"); }));
  Testing::runFor(20);
  EXPECT_EQ(Testing::firstProbe().seen.size(), 2u);
  EXPECT_EQ(slotLines(logs.take()), "rtp[1024]: rtp event of 10 bytes dropped\n");
  control("rtp hangup");
  EXPECT_TRUE(Testing::runUntil([&] { return loggedSoFar("fail to read from rtp"); }));
  Testing::runFor(50);
  EXPECT_EQ(slotLines(logs.take()), "rtp[1024]: fail to read from rtp: end of file\n");
}

TEST_F(RtpSlots, InputFollowsTheConnectLogicUnlessTheSquelchDrivesIt) {
  struct Squelched : RtpSlot {
    Squelched(int channel, const Fd& session) : RtpSlot(channel, session, rtp_connection_params()) {
      squelchDrivenInput = true;
    }
  };
  SlotPtr slot = create(params());
  ASSERT_TRUE(slot);
  Fd session(Board::open(GetRtpDevName(), O_RDONLY));
  rtp_channel_info info;
  ASSERT_TRUE(RtpEngine::beginSession(session.get(), {}) == 0 && RtpEngine::addChannel(session.get(), info) == 0);
  Squelched squelched(info.tdm, session);
  journal();
  EXPECT_TRUE(slot->IOnInputStream() && squelched.IOnInputStream());
  EXPECT_EQ(control("rtp sessions").front().substr(0, 24), "1 channel=1024 input=on ");
  slot->IOnInputRelease();
  squelched.IOnInputRelease();
  EXPECT_EQ(journal(), (Lines{"input-on 1", "input-off 1", "input-off 2"})) << "the squelch switches input on";
}

TEST_F(RtpSlots, TheResourcesCountTheVoiceDriversChannels) {
  LGCP::Resources r;
  auto counts = [&r] {
    RtpFactory::instance().Query(r);
    return std::vector<int>{r.get_rtp_g729().getValue(), r.get_rtp_g723().getValue(), r.get_rtp_g711().getValue(),
                            r.get_rtp_g711mcc().getValue(), r.get_universal().getValue()};
  };
  for (const char* count : {"4 8", "2 6", "1 32", "8 16", "65 30"}) control(std::string("voice channels ") + count);
  EXPECT_EQ(counts(), (std::vector<int>{8, 6, 32, 16, 30}));
  // A count of 0 clears G.729, G.723 and G.711; the other two keep their last positive count.
  for (const char* type : {"4", "8", "65"}) control(std::string("voice channels ") + type + " 0");
  EXPECT_EQ(counts(), (std::vector<int>{0, 6, 32, 16, 30}));
  control("absent /dev/voice");
  EXPECT_EQ(counts(), (std::vector<int>{0, 0, 0, 16, 30}));
  EXPECT_EQ(logs.take(), "rtp[0,0,0,30]: device \"" + Board::Paths::path("/dev/voice") +
                             "\" open fail: No such file or directory\n");
}

}  // namespace
