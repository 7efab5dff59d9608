// Radio gateway slots in this process, made by their factories on the
// simulated RTP engine and extension device, on a loop clock moved by hand:
// once far from the 32-bit millisecond wrap and once 1.5 s before it. What
// reaches the devices and the controller, and the slots' log lines, each with
// the loop time it happened at, go into one transcript per slot kind that
// both runs must match (golden files).

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "board/Board.h"
#include "board/DevicePaths.h"
#include "board/sim/Sim.h"
#include "foundation/eventloop/Clock.h"
#include "radio/ED137RadioControl.h"
#include "radio/LemzRadioControl.h"
#include "radio/RtpExtFactory.h"
#include "server/slot/Slots.h"
#include "testing/Capture.h"
#include "testing/CtrlServerFixture.h"
#include "testing/Golden.h"
#include "testing/Loop.h"

namespace {

using Lines = std::vector<std::string>;

Lines control(const std::string& line) {
  Lines lines = Board::Sim::control(line);
  EXPECT_EQ(lines.back(), "OK") << line;
  lines.pop_back();
  return lines;
}

// A value notation on one line.
std::string oneLine(const std::string& text) {
  std::string line;
  for (size_t at = 0; at < text.size(); ++at) {
    line += text[at] == '\n' ? ' ' : text[at];
    if (text[at] == '\n') at = text.find_first_not_of(' ', at + 1) - 1;
  }
  return line;
}

template <class T>
T value(const std::string& notation) {
  T v;
  EXPECT_TRUE(v.setFromValueNotation(notation)) << notation;
  return v;
}

struct SlotDeleter {
  void operator()(Slot* slot) const {
    slot->BeforeDestroy();
    delete slot;
  }
};
using SlotPtr = std::unique_ptr<Slot, SlotDeleter>;

class RadioSlots : public ::testing::Test {
protected:
  void SetUp() override {
    Testing::bindProbesOnce();
    static bool bound = false;
    if (!bound) CtrlSrv::ctrlServer.Bind(&Slots::instance());
    bound = true;
    Testing::firstProbe().clear();
    Board::Sim::reset();
    start = Testing::pinned();
    logs.take();
  }
  void TearDown() override { Mux::set_milliseconds_offset(0); }

  // An rtp create on port 31000 + n with the radio request given, and the fields around it. The slot binds
  // its RTCP socket to the next port: one below the kernel's ephemeral ports, which no other program is given.
  static LGCP::CreateParams create(int n, const std::string& radio, const std::string& before = "",
                                   const std::string& after = "") {
    return value<LGCP::CreateParams>("rtp : { codecRTP { payload ptG711-Alaw, dhost { iaddr \"127.0.0.1\", port " +
                                     std::to_string(31000 + n) + " }" + before + ", radio " + radio + after +
                                     " }, txPayload ptG711-Alaw, rxPayload ptG711-Alaw }");
  }
  static bool ioctl(Slot& slot, const std::string& request) { return slot.Ioctl(value<LGCP::IoctlParams>(request)); }

  // Moves the loop clock in 5 ms steps, firing what falls due.
  void advance(unsigned ms) {
    for (unsigned at = 0; at < ms; at += 5) {
      clock.advance(5);
      collect();
    }
  }
  // Hands a block to extension session `session` and lets the slot read it.
  void receive(unsigned session, const std::string& from, uint32_t ssrc, const std::string& hex) {
    control("rtp_ext receive " + std::to_string(session) + " " + from + " " + std::to_string(ssrc) + " " + hex);
  }
  void settle() {
    drain();
    collect();
  }
  static void drain() {
    Testing::runUntil([] {
      for (const std::string& s : control("rtp_ext sessions"))
        if (s.find(" queued=0 ") == std::string::npos) return false;
      return true;
    });
  }
  // The device journals, the signals and the log lines since the last call, at the loop time.
  void collect() {
    const std::string at = std::to_string(Testing::pinned() - start) + " ";
    for (const char* device : {"rtp_ext", "rtp"}) {
      for (const std::string& line : control(std::string(device) + " journal")) {
        const std::string text = normalized(line.substr(line.find(' ') + 1), device == std::string("rtp_ext"));
        if (text.compare(0, 6, "begin ")) transcript += at + device + " " + text + "\n";
      }
      control(std::string(device) + " clear");
    }
    for (const std::string& s : Testing::firstProbe().seen) transcript += at + "signal " + oneLine(s) + "\n";
    Testing::firstProbe().seen.clear();
    std::istringstream text(logs.take());
    for (std::string line; std::getline(text, line);)
      if (line.compare(0, 3, "rtp") == 0 || line.compare(0, 6, "DSPROC") == 0)
        transcript += at + normalized(line, false) + "\n";
  }
  // The time of day of log prefixes, the DSP's function ids, and descriptor numbers and our pid in
  // extension attach records vary.
  static std::string normalized(const std::string& line, bool extension) {
    std::string text = Testing::withoutRadioTimes(line);
    const size_t id = text.rfind(" id=");
    if (!extension) return id == std::string::npos ? text : text.substr(0, id);
    if (text.compare(0, 7, "attach ") && text.compare(0, 7, "detach ")) return text;
    char pid[9];
    std::snprintf(pid, sizeof pid, "%08x", unsigned(::getpid()));
    const size_t fd = text.find(' ', 7) + 1;
    return text.substr(0, fd) + (text.compare(fd + 8, 8, pid) ? "FD" + text.substr(fd + 8) : "FD+PID");
  }

  Testing::Capture logs{&std::cerr, &std::clog};
  Testing::PinnedClock clock;
  uint64_t start = 0;
  std::string transcript;
};

// Radio values in value notation: an ED-137 header, an rx modifier, LEMZ flags and a LEMZ modifier.
std::string header(const char* ptt, const char* squ) {
  return std::string("header { ptt ") + ptt + ", squ " + squ +
         ", ptt-id 0, ptt-mute FALSE, ptt-summation FALSE, sct FALSE }";
}
std::string rxModifier(const char* ptt, const char* squ, int quality) {
  return "rtpExt : ed-137 : { addr { session-addr \"10.0.0.7\", session-ssrc 7 }, params rx : { " + header(ptt, squ) +
         ", sqi { bss-method agc, bss-quality " + std::to_string(quality) + " } } }";
}
std::string flags(int prio, bool ptt) {
  return "flags { prio " + std::to_string(prio) + ", ptt " + (ptt ? "TRUE" : "FALSE") +
         ", bss FALSE, vad-rx FALSE, vad-tx FALSE, sql TRUE, sh FALSE, pwr FALSE, rv FALSE, resv FALSE, selcall 0, li "
         "0 }";
}
std::string lemz(const std::string& params) {
  return "rtpExt : lemz : { addr { session-addr \"10.0.0.9\", session-ssrc 9 }, params " + params + " }";
}

// Once far from the wrap, once 1.5 s before it.
class RadioSlotsOnClock : public RadioSlots, public ::testing::WithParamInterface<uint32_t> {
protected:
  void SetUp() override {
    RadioSlots::SetUp();
    Mux::set_milliseconds_offset(GetParam());
  }
};

TEST_P(RadioSlotsOnClock, Ed137) {
  const std::string status = "ed-137 : { " + header("ptt-off", "squ-on") +
                             ", radio-response { type radio-txrx, txrxmode txrx, r2s-keepalive-period 200, "
                             "r2s-keepalive-multiplier 10, ptt-id 0, transmission-depend-on-squ TRUE } }";
  SlotPtr slot(RtpED137Factory::instance().NewSlot(
      create(1, "{ status " + status + ", rx-delay 20, bss-enable TRUE }", ", pfactor 4")));
  ASSERT_TRUE(slot);
  slot->IAfterCreate();
  collect();
  advance(1000);
  // The squelch of the create opens the input only with the first request; the same header again goes out
  // only as keep-alive.
  EXPECT_TRUE(ioctl(*slot, rxModifier("ptt-off", "squ-on", 20)));
  EXPECT_TRUE(ioctl(*slot, rxModifier("ptt-off", "squ-on", 20)));
  collect();
  advance(1500);
  // Bursts: of one source only the last header counts, an undecodable block never.
  for (const char* block : {"20400000", "20400000", "2080", "40800000"}) receive(1, "10.0.0.8", 8, block);
  receive(1, "10.0.0.9", 9, "40800000");
  settle();
  receive(1, "10.0.0.9", 9, "40800000");
  settle();
  // A repeated header is reported again once per status interval, a change at once.
  advance(1000);
  receive(1, "10.0.0.9", 9, "40800000");
  settle();
  receive(1, "10.0.0.9", 9, "00000000");
  settle();
  // Silent from here: lost after 2 s, and again at every run.
  advance(3100);
  EXPECT_FALSE(ioctl(*slot, lemz("wm-flags : { " + flags(1, false) + " }")));
  // A codec change restarts the extension on the new RTP session.
  EXPECT_TRUE(ioctl(*slot, "encoder-mode : ulaw"));
  collect();
  // Push-to-talk toward a peer: only that peer is heard.
  EXPECT_TRUE(ioctl(*slot, rxModifier("normal-ptt-on", "squ-off", 3)));
  receive(2, "10.0.0.9", 9, "40800000");
  receive(2, "10.0.0.7", 7, "40800000");
  settle();
  // A peer that is no address is taken as all ones; a TX header is never a keep-alive.
  EXPECT_TRUE(ioctl(*slot, "rtpExt : ed-137 : { addr { session-addr \"radio-7\", session-ssrc 7 }, params tx : { " +
                               header("normal-ptt-on", "squ-off") + " } }"));
  advance(1100);
  slot.reset();
  collect();
  EXPECT_TRUE(Testing::matchesGolden("radio/tests/golden/ed137-slot.txt", transcript));
}

// A header like the last one but from another source is news, reported at
// once; only a header of the same source is held back as a repeat. Two
// sources at one address are told apart by their SSRC, in one burst or in
// two. The clock stands still: every repeat falls within the status interval.
TEST_F(RadioSlots, Ed137HeaderOfAnotherSourceIsReportedAtOnce) {
  SlotPtr slot(
      RtpED137Factory::instance().NewSlot(create(1, "{ status ed-137 : { " + header("ptt-off", "squ-off") + " } }")));
  ASSERT_TRUE(slot);
  Testing::firstProbe().seen.clear();
  using Sources = std::vector<std::pair<std::string, uint32_t>>;
  const struct {
    Sources burst;  // one TX header each, all alike
    Sources reported;
  } steps[] = {
      {{{"10.0.0.9", 9}}, {{"10.0.0.9", 9}}},
      {{{"10.0.0.9", 10}}, {{"10.0.0.9", 10}}},
      {{{"10.0.0.9", 10}}, {}},
      {{{"10.0.0.9", 9}, {"10.0.0.9", 10}}, {{"10.0.0.9", 9}, {"10.0.0.9", 10}}},
      {{{"10.0.0.8", 10}}, {{"10.0.0.8", 10}}},
      {{{"10.0.0.8", 10}}, {}},
  };
  for (const auto& step : steps) {
    for (const auto& [from, ssrc] : step.burst) receive(1, from, ssrc, "40800000");
    drain();
    Sources reported;
    for (const std::string& text : Testing::firstProbe().seen) {
      const LGCP::Signal signal = value<LGCP::Signal>(text);
      ASSERT_EQ(signal.currentSelection(), LGCP::Signal::e_rtpExt) << text;
      const TERM::RadioModifierAddr& addr = signal.get_rtpExt().get_request().get_ed_137().get_addr();
      reported.emplace_back(addr.get_session_addr().getValue(), addr.get_session_ssrc().getUnsignedValue());
    }
    Testing::firstProbe().seen.clear();
    EXPECT_EQ(reported, step.reported) << "step " << &step - steps;
  }
}

TEST_P(RadioSlotsOnClock, Lemz) {
  const std::string status = "lemz : { " + flags(5, false) +
                             ", freq { channel 3, frequency \"145.500000\" }, remote { no 1, ch 2 }, squelshe on, rte "
                             "j3e, standby-state-channel active, standby-group 2, standby-state-receiver standby }";
  SlotPtr slot(RtpLEMZFactory::instance().NewSlot(create(2, "{ status " + status + " }")));
  ASSERT_TRUE(slot);
  slot->IAfterCreate();
  collect();
  advance(1500);
  // Sent at once, and repeated 1000 ms later by a run scheduled for it.
  EXPECT_TRUE(ioctl(*slot, lemz("wm-chan : { freq { channel 4, frequency \"150.25\" }, squelshe off, rte n0n }")));
  collect();
  advance(1100);
  // Push-to-talk from the controller program moves the source filter; a refused filter lets every source in.
  EXPECT_TRUE(ioctl(*slot, lemz("gw-set-ptt : { " + flags(5, true) + " }")));
  EXPECT_TRUE(ioctl(*slot, lemz("gw-set-ptt : { " + flags(5, false) + " }")));
  control("fail rtp_ext ioctl 0xC0084504 EIO");
  EXPECT_TRUE(ioctl(*slot, lemz("wm-trans : { " + flags(5, true) + ", ip \"10.0.0.9\", ssrc 9 }")));
  collect();
  // The holder's last packet of a run, a higher priority's push-to-talk, not another's channel; a last
  // block that does not decode leaves the one before it reported.
  for (const char* block : {"03340008", "03340010", "03340018"}) receive(1, "10.0.0.9", 9, block);
  receive(1, "10.0.0.10", 10, "023000000000000543118000");
  receive(1, "10.0.0.10", 10, "01340000");
  receive(1, "10.0.0.10", 10, "0a00");
  settle();
  EXPECT_TRUE(ioctl(*slot, lemz("gw-set-flags : { " + flags(3, true) + " }")));
  receive(1, "10.0.0.10", 10, "01340000");
  receive(1, "10.0.0.9", 9, "01340000");
  settle();
  // The gateway itself holding push-to-talk hears everyone.
  EXPECT_TRUE(ioctl(*slot, lemz("wm-selcall : { " + flags(3, true) + ", ip \"127.0.0.1\", ssrc 1, cid \"ABC\" }")));
  receive(1, "10.0.0.10", 10, "023000000000000543118000");
  settle();
  advance(1000);
  EXPECT_FALSE(ioctl(*slot, rxModifier("ptt-off", "squ-on", 1)));
  slot.reset();
  collect();

  // Attached to another process's session: no extension session, no timer.
  slot.reset(RtpLEMZFactory::instance().NewSlot(create(
      3, "{ status " + status + " }", "", ", rtp-e2m { slot 1, channel 2, mode only-rtp : { fd 7, pid 1234 } }")));
  ASSERT_TRUE(slot);
  collect();
  advance(1100);
  EXPECT_TRUE(ioctl(*slot, "decoder-mode : ulaw"));
  slot.reset();
  collect();
  EXPECT_TRUE(Testing::matchesGolden("radio/tests/golden/lemz-slot.txt", transcript));
}

TEST_F(RadioSlots, EachFactoryTakesItsKindAndAnEd137SessionItsRadioResponse) {
  const std::string plain =
      "rtp : { codecRTP { payload ptG711-Alaw, dhost { iaddr \"127.0.0.1\", port 31000 } }, "
      "txPayload ptG711-Alaw, rxPayload ptG711-Alaw }";
  const std::string lemzStatus = "{ status lemz : { " + flags(5, false) +
                                 ", freq { channel 0, frequency \"0\" }, "
                                 "remote { no 0, ch 0 }, squelshe on, rte j3e, standby-state-channel active, "
                                 "standby-group 0, standby-state-receiver active } }";
  SlotFactory* factories[] = {&RtpLEMZFactory::instance(), &RtpED137Factory::instance()};
  for (SlotFactory* f : factories) EXPECT_FALSE(f->NewSlot(value<LGCP::CreateParams>(plain)));
  EXPECT_FALSE(factories[1]->NewSlot(create(1, lemzStatus)));
  EXPECT_EQ(logs.take(), "");

  // The keep-alive period in packets of pfactor 10 ms frames (2 when none is given), times the sigtime;
  // only a radio that transmits reports push-to-talk.
  const struct {
    const char* response;
    const char* pfactor;
    const char* init;
    bool reported;
  } cases[] = {
      {"", "", "interval=10 sigtime=1", true},
      {"radio-txrx, txrxmode txrx, sigtime 1, r2s-keepalive-period 200", ", pfactor 4", "interval=5 sigtime=1", true},
      {"radio-txrx, txrxmode rx, sigtime 3", "", "interval=30 sigtime=3", false},
      {"radio-rxonly, txrxmode txrx, r2s-keepalive-period 1000", ", pfactor 5", "interval=20 sigtime=1", false},
      {"coupling, txrxmode tx", "", "interval=10 sigtime=1", true},
  };
  for (const auto& c : cases) {
    Board::Sim::reset();
    Testing::firstProbe().seen.clear();
    const std::string response =
        *c.response ? std::string(", radio-response { type ") + c.response + ", ptt-id 0 }" : "";
    SlotPtr slot(factories[0]->NewSlot(create(1, lemzStatus)));
    EXPECT_TRUE(slot && !factories[0]->NewSlot(
                            create(2, "{ status ed-137 : { " + header("ptt-off", "squ-off") + response + " } }")));
    slot.reset(factories[1]->NewSlot(
        create(3, "{ status ed-137 : { " + header("ptt-off", "squ-off") + response + " } }", c.pfactor)));
    ASSERT_TRUE(slot) << c.response;
    const std::string init = std::string("2 etype=0x0167 mode=1 pt=123 ") + c.init + " attach=";
    const Lines sessions = control("rtp_ext sessions");
    EXPECT_EQ(sessions.back().substr(0, init.size()), init) << c.response;
    // Both alive, each on the RTP session descriptor its own slot keeps.
    for (const std::string& s : sessions) EXPECT_EQ(s.find(" stale "), std::string::npos) << s;
    transcript.clear();
    receive(2, "10.0.0.8", 8, "20400000");
    settle();
    EXPECT_EQ(Testing::count(transcript, "signal rtpExt"), c.reported ? 1u : 0u) << c.response;
  }
}

TEST_F(RadioSlots, ControllerFailuresAreLoggedAndTheSlotGoesOn) {
  enum When { BeforeCreate, BeforeUse, BeforeDestroy };
  const std::string onlyRtp = ", rtp-e2m { slot 1, channel 2, mode only-rtp : { fd 7, pid 1234 } }";
  const struct {
    When when;
    const char* fault;
    const char* line;
    std::string e2m;
  } cases[] = {
      {BeforeCreate, "absent /dev/rtp_ext", "create rtp_ext session fail !!!", ""},
      {BeforeCreate, "fail rtp_ext ioctl 0xC0144500 EIO", "init rtp_ext session fail !!!", ""},
      {BeforeCreate, "fail rtp_ext ioctl 0xC0084501 EIO", "attach rtp_ext session fail !!!", ""},
      {BeforeCreate, "fail rtp ioctl 0xC0085209 EIO", "attach rtp session fail !!!", onlyRtp},
      {BeforeUse, "fail rtp_ext ioctl 0x20004505 EIO", "reset filer rtp_ext session fail !!!", ""},
      {BeforeUse, "rtp_ext hangup", "rtp_ext session hung up, no longer read", ""},
      {BeforeDestroy, "fail rtp_ext ioctl 0x20004502 EIO", "detach rtp_ext session fail !!!", ""},
  };
  for (const auto& c : cases) {
    Board::Sim::reset();
    if (c.when == BeforeCreate) control(c.fault);
    SlotPtr slot(RtpLEMZFactory::instance().NewSlot(create(
        1,
        "{ status lemz : { " + flags(5, false) +
            ", freq { "
            "channel 0, frequency \"0\" }, remote { no 0, ch 0 }, squelshe on, rte j3e, standby-state-channel active, "
            "standby-group 0, standby-state-receiver active } }",
        "", c.e2m)));
    ASSERT_TRUE(slot) << c.fault;
    if (c.when == BeforeUse) {
      control(c.fault);
      ioctl(*slot, lemz("gw-set-ptt : { " + flags(5, true) + " }"));
      ioctl(*slot, lemz("gw-set-ptt : { " + flags(5, false) + " }"));
      // A hang-up is seen by the loop: waited for, then a while for anything more.
      Testing::runUntil([&] { return logs.str().find(c.line) != std::string::npos; });
      Testing::runFor(30);
    }
    if (c.when == BeforeDestroy) control(c.fault);
    slot.reset();
    // The failure's line; an extension session that never started is still detached when the slot goes,
    // which fails on no descriptor.
    std::string expected = std::string("rtp_ext[1024] T:") + c.line + "\n";
    if (c.when == BeforeCreate && c.e2m.empty()) expected += "rtp_ext[1024] T:detach rtp_ext session fail !!!\n";
    std::istringstream text(Testing::withoutRadioTimes(logs.take()));
    std::string lines;
    for (std::string line; std::getline(text, line);)
      if (line.find("rtp_ext[1024]") != std::string::npos) lines += line + "\n";
    EXPECT_EQ(lines, expected) << c.fault;
  }
}

TEST_F(RadioSlots, TraceLinesShowTheCommandAndTheValuesBothWays) {
  Fd rtp(Board::open(GetRtpDevName(), O_RDONLY));
  RTPSignalling::rtp_ext_init_params lemzInit, ed137Init;
  lemzInit.etype = Board::Dev::RtpExt::Lemz;
  ed137Init.etype = Board::Dev::RtpExt::Ed137;
  RTPSignalling::LemzRadioGWControl lemzControl(5, {rtp.get(), -1}, lemzInit);
  RTPSignalling::ED137RadioGWControl ed137Control(6, {rtp.get(), -1}, ed137Init);
  lemzControl.SetTrace(true);
  ed137Control.SetTrace(true);
  EXPECT_TRUE(
      lemzControl.SendASNToChan(value<LGCP::IoctlParams>(lemz("wm-flags : { " + flags(5, false) + " }")).get_rtpExt()));
  EXPECT_TRUE(ed137Control.SendASNToChan(value<LGCP::IoctlParams>(rxModifier("ptt-off", "squ-on", 9)).get_rtpExt()));
  receive(1, "10.0.0.9", 9, "01500000");
  receive(2, "10.0.0.8", 8, "20400000");
  drain();
  EXPECT_TRUE(Testing::matchesGolden("radio/tests/golden/trace.txt", Testing::withoutRadioTimes(logs.take())));
}

INSTANTIATE_TEST_SUITE_P(Clock, RadioSlotsOnClock, ::testing::Values(0u, uint32_t(0x100000000 - 100000000 - 1500)),
                         [](const auto& info) { return info.param ? "AcrossTheWrap" : "FarFromTheWrap"; });

}  // namespace
