// RTP slots in this process, made by the factory on the simulated RTP
// engine, with a UDP peer on the loopback as the far end's RTCP port: the
// session record byte for byte, the refusals, the destroy order, codec
// restarts and the engine's events. Signals are seen as the other bound
// services see them, in value notation.

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <cstdio>
#include <memory>
#include <set>
#include <sstream>

#include "board/Board.h"
#include "board/Paths.h"
#include "board/sim/Hex.h"
#include "board/sim/Sim.h"
#include "hardware/DevicePaths.h"
#include "foundation/os/Fd.h"
#include "media/RtpFactory.h"
#include "media/RtpSlot.h"
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
  for (std::string line; std::getline(in, line);) {
    if (line.compare(0, 4, "rtp[") == 0) kept += line + "\n";
  }
  return kept;
}

std::string hex16(unsigned v) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", v & 0xFFFF);
  return text;
}

struct SlotDeleter {
  void operator()(Slot* slot) const {
    slot->BeforeDestroy();
    delete slot;
  }
};
using SlotPtr = std::unique_ptr<Slot, SlotDeleter>;

// A UDP socket on 127.0.0.1 that shares its port with a slot's RTCP socket
// on the wildcard address, and still gets what is sent to 127.0.0.1.
Fd udp(unsigned short& port) {
  Fd fd(::socket(AF_INET, SOCK_DGRAM, 0));
  const int on = 1;
  ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  socklen_t len = sizeof a;
  ::bind(fd.get(), reinterpret_cast<sockaddr*>(&a), len);
  ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&a), &len);
  port = ntohs(a.sin_port);
  return fd;
}

class RtpSlots : public ::testing::Test {
protected:
  void SetUp() override {
    Testing::bindProbesOnce();
    static bool bound = false;
    if (!bound) CtrlSrv::ctrlServer.Bind(&Slots::instance());
    bound = true;
    Testing::firstProbe().clear();
    Board::Sim::reset();
    peer = udp(peerPort);
    logs.take();
  }

  // A create for a far end at 127.0.0.1 whose RTCP port is the peer's.
  LGCP::CreateParams params(Payload::NamedNumber payload = Payload::ptG711_Alaw) {
    LGCP::CreateParams p;
    LGCP::CreateRtpParams& rtp = p.select_rtp();
    rtp.get_codecRTP().set_payload(payload);
    rtp.get_codecRTP().get_dhost().set_iaddr("127.0.0.1");
    rtp.get_codecRTP().get_dhost().set_port(peerPort - 1u);
    rtp.set_txPayload(payload);
    rtp.set_rxPayload(payload);
    return p;
  }
  SlotPtr create(const LGCP::CreateParams& p) { return SlotPtr(RtpFactory::instance().NewSlot(p)); }
  RtpSlot& rtp(const SlotPtr& slot) { return dynamic_cast<RtpSlot&>(*slot); }

  // The next RTCP datagram at the peer, with its source port; empty after a second.
  Bytes datagram(unsigned* from = nullptr) {
    pollfd p{peer.get(), POLLIN, 0};
    if (::poll(&p, 1, 1000) != 1) return {};
    uint8_t buf[2048];
    sockaddr_in a{};
    socklen_t len = sizeof a;
    const ssize_t n = ::recvfrom(peer.get(), buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&a), &len);
    if (from) *from = ntohs(a.sin_port);
    return Bytes(buf, buf + std::max<ssize_t>(n, 0));
  }

  unsigned short peerPort = 0;
  Fd peer;
  Testing::Capture logs{&std::cerr, &std::clog};
};

TEST_F(RtpSlots, TheSessionRecordCarriesEveryParameterOrItsDefault) {
  unsigned short spare = 0;
  udp(spare);  // closed again: a port the slot's RTCP socket can have
  LGCP::CreateParams all = params(Payload::ptG729);
  TERM::RtpParams& codec = all.select_rtp().get_codecRTP();
  TERM::HostAddress source;
  source.set_iaddr("10.1.2.3");
  source.set_port(spare - 1u);
  codec.set_shost(source);
  all.select_rtp().set_rxPayload(Payload::ptG711_Alaw);
  codec.set_pfactor(0x12345);
  codec.set_vad(true);
  codec.set_crate(5);
  codec.set_ssrc(0xDEADBEEF);
  codec.set_ttl(64);
  codec.set_qos_dscp(TERM::IpQoSDSCP::NamedNumber(46));
  SlotPtr slot = create(all);
  ASSERT_TRUE(slot) << logs.take();
  // Far end, source 10.1.2.3, rx 8 (the A-law override), tx 18, factor 0x2345, VAD, crate, SSRC, TTL 64, TOS 0xB8.
  const std::string record = "7f000001" + hex16(peerPort - 1u) + "0000" + "0a010203" + hex16(spare - 1u) +
                             "0008001223450101" + "0000deadbeef" + "0000000000000000" + "00000040000000b8";
  EXPECT_EQ(journal(), (Lines{"begin 1 " + record, "add-channel 1 ffffffffffffffffffffffff00000000"}));
  EXPECT_EQ(control("rtp sessions"), Lines{"1 channel=1024 input=off pd=off session=" + record});
  EXPECT_EQ(rtp(slot).GetChannel(), 1024);
  unsigned from = 0;
  const Bytes sdes = datagram(&from);
  ASSERT_GE(sdes.size(), 8u);
  EXPECT_EQ(Bytes(sdes.begin(), sdes.begin() + 8), (Bytes{0x81, 202, 0, 16, 0xDE, 0xAD, 0xBE, 0xEF}));
  EXPECT_EQ(from, spare) << "RTCP leaves from the source port + 1";

  // Without the optional fields: source 0 and the far end's port, rx and tx from the payload (G.723 has
  // no override: the rx payload is no G.711), factor 0, no VAD, a generated SSRC, TTL 0, TOS all ones.
  LGCP::CreateParams bare = params(Payload::ptG723);
  bare.select_rtp().set_rxPayload(Payload::ptG729);
  SlotPtr second = create(bare);
  ASSERT_TRUE(second) << logs.take();
  const Lines lines = journal();
  ASSERT_EQ(lines.size(), 2u);
  const std::string begun = lines[0].substr(8);
  EXPECT_EQ(begun.substr(0, 48), "7f000001" + hex16(peerPort - 1u) + "0000" + "00000000" + hex16(peerPort - 1u) +
                                     "000400040000" + "00000000");
  EXPECT_EQ(begun.substr(56), "0000000000000000" "00000000" "ffffffff");
  const Bytes second_sdes = datagram(&from);
  ASSERT_GE(second_sdes.size(), 8u);
  EXPECT_EQ(from, peerPort) << "RTCP binds the far end's port + 1 without a source";
  EXPECT_EQ(Board::Sim::Hex::encode(second_sdes.data() + 4, 4, Board::Sim::Hex::Lower), begun.substr(48, 8));
  EXPECT_EQ(control("rtp sessions").back().substr(0, 30), "2 channel=1025 input=off pd=of");
}

TEST_F(RtpSlots, RefusedCreatesLeaveNothingOpen) {
  struct Case {
    const char* what;
    std::function<void(LGCP::CreateParams&)> change;
    const char* fault;  // a control line
    std::string line;
  };
  const std::string head = "rtp[0,0,0,0]: ";
  const Case cases[] = {
      {"T.38", [](auto& p) { p.select_rtp().get_codecRTP().set_payload(Payload::ptT38_UDP_TL); }, nullptr,
       head + "rtp do not created: payload ptT38-UDP-TLnot found\n"},
      {"reserved", [](auto& p) { p.select_rtp().get_codecRTP().set_payload(Payload::reserv_1); }, nullptr,
       head + "rtp do not created: payload reserv-1not found\n"},
      {"R2S", [](auto& p) { p.select_rtp().get_codecRTP().set_payload(Payload::ptR2S); }, nullptr,
       head + "rtp do not created: payload ptR2Snot found\n"},
      {"far end", [](auto& p) { p.select_rtp().get_codecRTP().get_dhost().set_iaddr("10.0.0.300"); }, nullptr,
       head + "rtp do not created: bad address \"10.0.0.300\"\n"},
      {"source", [](auto& p) { p.select_rtp().get_codecRTP().set_shost(p.select_rtp().get_codecRTP().get_dhost());
                               p.select_rtp().get_codecRTP().get_shost().set_iaddr("x"); }, nullptr,
       head + "rtp do not created: bad address \"x\"\n"},
      {"device", nullptr, "absent /dev/rtp", head + "device \"" + Board::Paths::path("/dev/rtp") +
       "\" open fail: No such file or directory\n"},
      {"session", nullptr, "fail rtp ioctl 0xC02C5200 EBUSY", head + "begin session fail !!! \n"},
      {"channel", nullptr, "fail rtp ioctl 0xC0105202 ENOSPC", head + "add channel fail !!!\n"},
  };
  for (const Case& c : cases) {
    Board::Sim::reset();
    LGCP::CreateParams p = params();
    if (c.change) c.change(p);
    if (c.fault) control(c.fault);
    EXPECT_FALSE(create(p)) << c.what;
    const std::string text = logs.take();
    EXPECT_EQ(text.substr(text.size() - std::min(text.size(), c.line.size())), c.line) << c.what;
    EXPECT_EQ(control("rtp sessions"), Lines{}) << c.what;
  }
  // The RTCP port taken by a socket that does not share it.
  Fd taken(::socket(AF_INET, SOCK_DGRAM, 0));
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(peerPort);
  peer.close();
  ASSERT_EQ(::bind(taken.get(), reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  EXPECT_FALSE(create(params()));
  EXPECT_NE(logs.take().find("rtp do not created: can not bind socket [errno=Address already in use, port=" +
                             std::to_string(peerPort) + "]\n"), std::string::npos);
  // A radio part belongs to the radio factories: no word.
  LGCP::CreateParams radio = params();
  radio.select_rtp().get_codecRTP().includeOptionalField(TERM::RtpParams::o_radio, TERM::RtpParams::e_radio);
  EXPECT_FALSE(create(radio));
  EXPECT_EQ(logs.take(), "");
}

TEST_F(RtpSlots, DestroyTearsDownInOrderAndSaysGoodbye) {
  SlotPtr slot = create(params());
  ASSERT_TRUE(slot);
  const Bytes sdes = datagram();
  journal();
  slot.reset();
  EXPECT_EQ(journal(), (Lines{"teardown-10 1", "teardown-3 1", "teardown-11 1", "event-off 1 00000001"}));
  EXPECT_EQ(control("rtp sessions"), Lines{}) << "released with its last descriptor";
  const Bytes bye = datagram();
  ASSERT_EQ(bye.size(), 20u);
  EXPECT_EQ(Bytes(bye.begin(), bye.begin() + 4), (Bytes{0x81, 203, 0, 4}));
  EXPECT_EQ(Bytes(bye.begin() + 4, bye.begin() + 8), Bytes(sdes.begin() + 4, sdes.begin() + 8));
  EXPECT_EQ(std::string(bye.begin() + 8, bye.end()), "\x0bsession end");

  if (!Tshark::available()) GTEST_SKIP() << Tshark::missing();
  const auto capture = Tshark::writeCapture("rtp-slot", peerPort, {sdes, bye});
  const auto lines = Tshark::fields(capture, "-d udp.port==" + std::to_string(peerPort) + ",rtcp",
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
  EXPECT_EQ(restart[0].substr(0, 8 + 36), "begin 3 7f000001" + hex16(peerPort - 1u) + "0000" + "00000000" +
                                              hex16(peerPort - 1u) + "00080000");
  EXPECT_EQ(restart[1], "add-channel 3 00000400ffffffffffffffff00000000");
  EXPECT_EQ(control("rtp sessions").size(), 1u) << "the old sessions are released";
  EXPECT_EQ(logs.take(), "rtp[1024]: do restart RTP session (change tx payload):decoder-mode : alaw\n");

  // Events come from the new session; the old one is gone.
  pd.select_pd_enable().set_timeout(300);
  EXPECT_TRUE(slot->Ioctl(pd));
  EXPECT_EQ(journal(), Lines{"event-on 3 00000001" "00000000" "0000012c" "00000000" "00000000" "0000012c" "00000000"
                             "00000000" "00000000"});
  control("rtp event 3 1 7");
  control("rtp event 3 2 9 9");
  Board::Sim::control("rtp event 1 1 7");
  ASSERT_TRUE(Testing::runUntil([] { return !Testing::firstProbe().seen.empty(); }));
  Testing::runFor(20);
  LGCP::Signal signal;
  signal.select_rtp().select_pd().set_value(7);
  signal.select_rtp().select_pd().set_timeout(300);
  EXPECT_EQ(Testing::firstProbe().seen, Lines{signal.asValueNotation()}) << "type 2 is not reported";
  EXPECT_EQ(slotLines(logs.take()), "rtp[1024]: RTP SET EVENT PD timeout=300\nrtp[1024]: rtp event:  type=1\n"
                         "rtp[1024]: rtp event:  type=2\n");

  // lbrc goes back to the payload the slot was created with; a failed restart leaves no session.
  lbrc.select_decoder_mode().setValue(LGCP::CodecMode::lbrc);
  control("fail rtp ioctl 0xC02C5200 EIO");
  EXPECT_FALSE(slot->Ioctl(lbrc));
  EXPECT_EQ(logs.take(), "rtp[1024]: do restart RTP session (change tx payload):decoder-mode : lbrc\n"
                         "rtp[1024]: fail to restart RTP session!\n");
  EXPECT_EQ(control("rtp sessions"), Lines{});
  EXPECT_FALSE(slot->Ioctl(pd));
  EXPECT_EQ(logs.take(), "rtp[1024]: RTP SET EVENT PD fail: errno=\"Bad file descriptor\"\n");
}

TEST_F(RtpSlots, DetectorAndReceiverEventsReachTheControllerAndAHangUpIsLeftAlone) {
  SlotPtr slot = create(params());
  ASSERT_TRUE(slot);
  LGCP::IoctlParams pd, pdOff, dtmf, vad;
  pd.select_pd_enable().set_timeout(50);
  pdOff.select_pd_disable();
  dtmf.select_dtmf_enable().setValue(true);
  vad.select_vad_enable().setValue(true);
  EXPECT_TRUE(slot->Ioctl(pd) && slot->Ioctl(dtmf) && slot->Ioctl(vad));
  Testing::runFor(20);  // an empty queue: the loop goes on
  control("rtp event 1 1 1");
  control("dtmf event 1024 5");
  control("dsp vad 1024 1 1 0");
  ASSERT_TRUE(Testing::runUntil([] { return Testing::firstProbe().seen.size() >= 3; }));
  std::set<std::string> seen;
  for (const std::string& s : Testing::firstProbe().seen) seen.insert(s.substr(0, s.find(' ')));
  EXPECT_EQ(seen, (std::set<std::string>{"rtp", "tonec", "vad"}));
  EXPECT_TRUE(slot->Ioctl(pdOff));
  EXPECT_NE(Board::Sim::control("rtp event 1 1 1").back(), "OK") << "no detector events once it is off";
  control("fail rtp ioctl 0x8004520D EIO");
  EXPECT_FALSE(slot->Ioctl(pdOff));
  EXPECT_NE(logs.take().find("rtp[1024]: RTP RESET EVENT PD\nrtp[1024]: RTP RESET EVENT PD fail: errno=\"Input/"
                             "output error\"\n"), std::string::npos);

  control("rtp hangup");
  Testing::runFor(50);
  EXPECT_EQ(slotLines(logs.take()), "rtp[1024]: fail to read from rtp: end of file\n");
}

TEST_F(RtpSlots, InputFollowsTheConnectLogicUnlessTheSquelchDrivesIt) {
  SlotPtr slot = create(params());
  ASSERT_TRUE(slot);
  journal();
  EXPECT_TRUE(slot->IOnInputStream());
  EXPECT_EQ(control("rtp sessions").back().substr(0, 30), "1 channel=1024 input=on pd=off");
  slot->IOnInputRelease();
  EXPECT_EQ(journal(), (Lines{"input-on 1", "input-off 1"}));
  struct Squelched : RtpSlot {
    using RtpSlot::RtpSlot;
    void squelch() { squelchDrivenInput = true; }
  };
  Fd session(Board::open(GetRtpDevName(), O_RDONLY));
  rtp_channel_info info;
  ASSERT_TRUE(RtpEngine::beginSession(session.get(), rtp(slot).GetParams()) == 0 &&
              RtpEngine::addChannel(session.get(), info) == 0);
  journal();
  Squelched squelched(info.tdm, session, rtp(slot).GetParams());
  squelched.squelch();
  EXPECT_TRUE(squelched.IOnInputStream());
  squelched.IOnInputRelease();
  EXPECT_FALSE(squelched.IsInputOn());
  EXPECT_EQ(journal(), Lines{"input-off 2"}) << "the squelch switches the input on";
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
