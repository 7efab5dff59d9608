// The controller soak: the real daemon on the simulated board and one
// controller sending commands over one connection, in cycles that create,
// connect and destroy a slot of every kind the board supports, PSTN/SS7 and
// the LEMZ and ED-137 radio slots included, with device events bringing
// signals back, the child-program kinds (modem, voice, T.38) every few cycles
// and a controller reconnection, with slots alive, every few more. At the end
// the daemon must hold the descriptors it held at launch and those it keeps
// from their first use on (named below), no other; have every packet buffer
// free and no child left; and its resident memory must have stayed flat since
// the warm-up. It prints the rate and the figures, and exits 1 when one of
// them is off.
//
//   bench_soak [--commands N] [--server PATH] [--standin PATH] [--keep]
//
// The daemon and the stand-in for its child programs default to those of the
// build tree this program belongs to.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/soak/SoakController.h"
#include "bench/soak/SoakDaemon.h"
#include "board/Paths.h"
#include "board/sim/ControlClient.h"

namespace {

struct Options {
  unsigned long commands = 1000000;
  std::string server;
  std::string standin;
  bool keep = false;
};

// The child-program kinds run every this many cycles, and a reconnection ends every this many.
constexpr unsigned long ChildEvery = 5;
constexpr unsigned long ReconnectEvery = 40;
// The board's request journals are emptied every this many cycles.
constexpr unsigned long ClearEvery = 10;

// What the daemon opens at its first use and keeps: the tone and DSP receivers' devices (opened at the first
// detector enabled; each descriptor with the event loop's copy, and the model's end of the socket pair), and the
// wake-up pipes of the board's threads serving the far ends of HDLC channels and of QSIG D channels (started with
// the first channel of each). Any other descriptor more at the end, or one less, is a leak or a loss.
const std::map<std::string, int> KeptFromFirstUse = {
    {"/dev/dsp", 2}, {"/dev/dsp (model's end)", 1}, {"/dev/dtmf", 2}, {"/dev/dtmf (model's end)", 1}, {"pipe", 4},
};

// One step of a cycle: a command with the reply it must get, or a line for the board.
struct Step {
  enum Kind { Command, BoardLine } kind;
  long slot;  // NoSlot: a command to the daemon
  std::string text;
  std::string reply;
};
constexpr long NoSlot = -1;

Step cmd(long slot, const std::string& command, const std::string& reply = "success") {
  return {Step::Command, slot, command, reply};
}
Step board(const std::string& line) { return {Step::BoardLine, NoSlot, line, ""}; }

// Slot 1, an E1 timeslot, lives through each cycle: the modem and the player connect to it, it to slot 2.
std::vector<Step> childKinds() {
  return {
      cmd(11, "create : modem : { cid \"5551234\", cdid \"100\" }"),
      cmd(11, "connect : 1"),
      cmd(11, "destroy : NULL"),
      cmd(12, "create : voice : player : file : { name { \"one\" }, repeat 1 }"),
      cmd(12, "connect : 1"),
      cmd(12, "destroy : NULL"),
      cmd(13, "create : voice : record : { iaddr \"127.0.0.1\", port 9 }"),
      cmd(13, "destroy : NULL"),
      cmd(14,
          "create : t38soft : { dhost { iaddr \"10.0.0.1\", port 4000 }, shost { iaddr \"10.0.0.2\", port "
          "5000 }, rx-packet-size 160, rx-threshold 2, tx-threshold 3, args { \"b1\" } }"),
      cmd(14, "destroy : NULL"),
  };
}

// An RTP slot's create, toward the sink, with the radio status of a radio slot when one is given.
std::string rtp(unsigned short rtcpPort, const std::string& radio = "") {
  return "create : rtp : { codecRTP { payload ptG711-Alaw, dhost { iaddr \"127.0.0.1\", port " +
         std::to_string(rtcpPort) + " }, " + (radio.empty() ? "ssrc 16909060" : "radio { status " + radio + " }") +
         " }, txPayload ptG711-Alaw, rxPayload ptG711-Alaw }";
}

const char* const LemzFlags =
    "flags { prio 5, ptt FALSE, bss FALSE, vad-rx FALSE, vad-tx FALSE, sql FALSE, sh FALSE, pwr FALSE, rv FALSE, "
    "resv FALSE, selcall 0, li 0 }";
std::string ed137Header(const char* squ) {
  return std::string("header { ptt ptt-off, squ ") + squ +
         ", ptt-id 0, ptt-mute FALSE, ptt-summation FALSE, sct FALSE }";
}

std::vector<Step> plainKinds(unsigned short rtcpPort) {
  return {
      cmd(2, "create : trunk : { trunk 0, timeslot 3 }"),
      cmd(1, "connect : 2"),
      cmd(2, "connect : 1"),
      cmd(2, "disconnect : NULL"),
      cmd(3, "create : trunk_bri : { trunk 3, timeslot 2 }"),
      cmd(4, "create : map : { receiver { bus 2, channel 106 } }"),
      cmd(5, "create : ext : { transmitter 3, receiver 4 }"),
      cmd(5, "activate : empty : NULL"),
      cmd(6, "create : echo : { bus 0, channel 0 }", "insufficientResources"),
      cmd(7, "create : mcc : { type data, mode standard }"),
      cmd(7, "userData : 'cafe'H"),
      board("mcc receive"),
      cmd(8, "create : mixerIn : { unit 0, channel tdm : 5, summator tdm : 1, ecm { ec TRUE, es FALSE } }"),
      cmd(8, "ioctl : dtmf-enable : TRUE"),
      board("dtmf event 4101 5"),
      cmd(9, "create : mixerOut : { unit 1, channel tdm : 2, inputs { } }"),
      cmd(9, "ioctl : tone-gen-enable : { freq 1000, amp 500 }"),
      cmd(10, rtp(rtcpPort)),
      cmd(10, "ioctl : pd-enable : { timeout 300 }"),
      board("rtp event"),
      // The radio slots: a request of the controller written to the extension device, a packet from the radio
      // reported back.
      cmd(22, rtp(rtcpPort, std::string("lemz : { ") + LemzFlags + " }")),
      cmd(22,
          "ioctl : rtpExt : lemz : { addr { session-addr \"10.0.0.9\", session-ssrc 9 }, params wm-remote : { "
          "remote { no 4, ch 5 } } }"),
      board("rtp_ext receive lemz"),
      cmd(23, rtp(rtcpPort, "ed-137 : { " + ed137Header("squ-off") +
                                ", radio-response { type radio-txrx, txrxmode txrx, ptt-id 0 } }")),
      cmd(23, "ioctl : rtpExt : ed-137 : { addr { session-addr \"10.0.0.7\", session-ssrc 7 }, params rx : { " +
                  ed137Header("squ-on") + " } }"),
      board("rtp_ext receive ed-137"),
      cmd(19, "create : trunk : { trunk 3, timeslot 7 }"),
      cmd(15, "create : hdlcParams : { trunk 3, log 0, address 4660 }"),
      cmd(15, "connect : 19"),
      cmd(15, "ioctl : hdlcPackages : { { body 'AB'H }, { body '0102'H } }"),
      cmd(16, "create : isdn : { type pri, trunk 1, log 0, side user : NULL }"),
      cmd(16, "activate : empty : NULL"),
      cmd(17, "create : ats-qsig : { side user : NULL, log 0 }"),
      cmd(18, "create : ats-qsig-b : { slot 17, subslot 1 }"),
      cmd(20, "create : trunk : { trunk 2, timeslot 16 }"),
      cmd(21, "create : pstn : ss7 : { trunk 3, slc 1, dpc 20, opc 10, emergency FALSE }"),
      cmd(20, "connect : 21"),
  };
}

std::vector<Step> destroys() {
  std::vector<Step> steps;
  for (long slot : {21, 20, 18, 17, 16, 15, 19, 23, 22, 10, 9, 8, 7, 5, 4, 3, 2, 1})
    steps.push_back(cmd(slot, "destroy : NULL"));
  steps.push_back(cmd(NoSlot, "ping : NULL"));
  return steps;
}

// A command as the controller sends it, its seq from the step's place.
std::string message(size_t seq, const Step& step) {
  return "{ seq " + std::to_string(seq) + (step.slot != NoSlot ? ", slot " + std::to_string(step.slot) : "") +
         ", pdu command : " + step.text + " }";
}

std::string text(const std::map<std::string, int>& kinds) {
  int total = 0;
  std::string detail;
  for (const auto& k : kinds) {
    total += k.second;
    detail += (detail.empty() ? "" : ", ") + k.first + " " + std::to_string(k.second);
  }
  return std::to_string(total) + " (" + detail + ")";
}

// A UDP socket on the loopback that takes the RTP slots' RTCP and never reads it.
class RtcpSink {
public:
  RtcpSink() : fd_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &length);
    port_ = ntohs(a.sin_port);
  }
  ~RtcpSink() { ::close(fd_); }
  unsigned short port() const { return port_; }

private:
  int fd_;
  unsigned short port_ = 0;
};

class Soak {
public:
  explicit Soak(const Options& options)
      : commands_(options.commands), daemon_(options.server, options.standin, options.keep) {}

  int run() {
    if (!daemon_.start() || !controller_.connect(daemon_.port()) ||
        !control_.connect(5000, daemon_.file(Board::Paths::SimControl)))
      return fail("the daemon did not start");
    for (const char* line : {"mixer unit 0 32 16", "mixer unit 1 16 8", "mctl add 0 300"}) control_.command(line);
    // The mixer units are learnt at a query.
    if (controller_.command("{ seq 1, pdu command : query : NULL }") != "success") return fail("no query reply");
    // The query's signal, and the T38 program's answer over a pipe that it waits for, come after the reply; a
    // ping's reply comes after them.
    if (controller_.command("{ seq 2, pdu command : ping : NULL }") != "success") return fail("no ping reply");
    launchRss_ = daemon_.residentKb();
    launchFds_ = descriptors();

    const std::vector<Step> children = childKinds(), plain = plainKinds(rtcp_.port()), ends = destroys();
    // Long enough for the histories the board keeps without emptying them (what the HDLC channels took,
    // 4096 entries) to reach their bound.
    const unsigned long warmUp = std::max(commands_ / 10, 1000ul);
    const auto begin = Clock::now();
    unsigned long cycle = 0;
    for (; sent_ < commands_ && unexpected_ < 10; ++cycle) {
      bool replied = step(cmd(1, "create : trunk : { trunk 2, timeslot 5 }"), 1);
      if (cycle % ChildEvery == 0) replied = replied && steps(children);
      replied = replied && steps(plain);
      if (cycle % ReconnectEvery == ReconnectEvery - 1) {
        if (!reconnect()) return fail("no reconnection");
      } else if (replied) {
        replied = steps(ends);
      }
      if (!replied) return fail("a command was not answered");
      if (cycle % ClearEvery == ClearEvery - 1) {
        for (const char* device : {"watchdog", "mcc", "dtmf", "dsp", "dsp-data", "mixer", "rtp", "rtp_ext", "mctl"})
          control_.command(std::string(device) + " clear");
      }
      if (warmRss_ < 0 && sent_ >= warmUp) warmRss_ = daemon_.residentKb();
      if (sent_ >= nextSample_) {
        samples_.push_back(daemon_.residentKb());
        nextSample_ += commands_ / 10;
      }
    }
    return report(cycle, std::chrono::duration<double>(Clock::now() - begin).count());
  }

private:
  using Clock = std::chrono::steady_clock;

  bool steps(const std::vector<Step>& list) {
    size_t seq = 10;
    for (const Step& s : list) {
      if (!step(s, ++seq)) return false;
    }
    return true;
  }

  bool step(const Step& s, size_t seq) {
    if (s.kind == Step::BoardLine) return boardLine(s.text);
    const std::string reply = controller_.command(message(seq, s));
    ++sent_;
    if (reply.empty()) std::cerr << "soak: no reply to " << message(seq, s) << std::endl;
    if (!reply.empty() && reply != s.reply && ++unexpected_ <= 10)
      std::cerr << "soak: " << message(seq, s) << " answered " << reply << ", not " << s.reply << std::endl;
    return !reply.empty();
  }

  // A board line that names the one session or channel of its kind the board has open: the line's start, the list
  // that names them (each line starting with its number) and what marks the kind there, the line's end.
  struct Target {
    const char* step;
    const char* list;
    const char* mark;
    const char* command;
    const char* tail;
  };
  static constexpr Target targets[] = {
      {"rtp event", "rtp sessions", "", "rtp event", " 1 1"},
      {"mcc receive", "mcc channels", " type=0", "mcc receive", " BEEF"},
      // A GW_FLAG packet, priority 5.
      {"rtp_ext receive lemz", "rtp_ext sessions", " etype=0x1337", "rtp_ext receive", " 10.0.0.9 9 01500000"},
      // A TX header: normal push-to-talk, id 1.
      {"rtp_ext receive ed-137", "rtp_ext sessions", " etype=0x0167", "rtp_ext receive", " 10.0.0.8 8 20400000"},
  };

  bool boardLine(const std::string& line) {
    std::string full = line;
    for (const Target& t : targets) {
      if (line != t.step) continue;
      const std::vector<std::string> open = control_.command(t.list);
      const auto it = std::find_if(open.begin(), open.end(), [&](const std::string& l) {
        return l != "OK" && l.find(t.mark) != std::string::npos;
      });
      if (it == open.end()) return true;
      full = std::string(t.command) + " " + it->substr(0, it->find(' ')) + t.tail;
    }
    const std::vector<std::string> reply = control_.command(full);
    if (reply.empty() || reply.back() != "OK")
      std::cerr << "soak: board: " << full << ": " << (reply.empty() ? "no reply" : reply.back()) << std::endl;
    return true;
  }

  // The daemon serves one controller: a new one is refused until it has seen the old one go.
  bool reconnect() {
    controller_.close();
    ++reconnections_;
    for (int attempt = 0; attempt < 100; ++attempt) {
      if (!controller_.connect(daemon_.port())) return false;
      if (controller_.command("{ seq 2, pdu command : ping : NULL }") == "success") return true;
      controller_.close();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  // The board names the device behind each of the daemon's sockets that is one, and the model's end of it (a
  // descriptor of the daemon's process on a host); as before every command, it lets go of the far ends of the
  // HDLC channels the daemon has closed.
  std::map<std::string, int> descriptors() {
    std::map<std::string, std::string> devices;
    for (const std::string& line : control_.command("files")) {
      std::istringstream words(line);
      std::string daemonEnd, path, modelEnd;
      if (!(words >> daemonEnd >> path >> modelEnd)) continue;
      devices[daemonEnd] = path;
      devices[modelEnd] = path + " (model's end)";
    }
    return daemon_.descriptors(devices);
  }

  int report(unsigned long cycles, double seconds) {
    const long endRss = daemon_.residentKb();
    const std::map<std::string, int> endFds = descriptors();
    // Without a controller every slot goes, and with it every buffer a slot held.
    controller_.close();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const int freePackets = daemon_.freePackets();
    const unsigned children = daemon_.children();
    const bool stopped = daemon_.stop();

    long peak = endRss;
    for (long kb : samples_) peak = std::max(peak, kb);
    const long growth = peak - warmRss_;
    std::printf("soak: %lu commands in %.1f s: %.0f commands/s; %lu cycles, %lu reconnections, %lu signals\n", sent_,
                seconds, double(sent_) / seconds, cycles, reconnections_, controller_.signals());
    std::printf("resident memory (kB): launch %ld, warm-up %ld, every tenth:", launchRss_, warmRss_);
    for (long kb : samples_) std::printf(" %ld", kb);
    std::printf(", end %ld; growth after warm-up %ld kB\n", endRss, growth);
    std::map<std::string, int> expected = launchFds_;
    for (const auto& kept : KeptFromFirstUse) expected[kept.first] += kept.second;
    std::printf("descriptors: launch %s, kept from first use %s, end %s\n", text(launchFds_).c_str(),
                text(KeptFromFirstUse).c_str(), text(endFds).c_str());
    std::printf("packet buffers free: %d of 1024; children left: %u; orderly stop: %s; unexpected replies: %lu\n",
                freePackets, children, stopped ? "yes" : "no", unexpected_);
    const bool flat = growth <= std::max(256l, warmRss_ / 50);
    const bool clean = flat && endFds == expected && freePackets == 1024 && !children && stopped && !unexpected_;
    std::printf("soak: %s\n", clean ? "clean" : "NOT CLEAN");
    return clean ? 0 : 1;
  }

  int fail(const std::string& why) {
    std::cerr << "soak: " << why << "; the daemon's files stay in " << daemon_.root() << std::endl;
    daemon_.keep();
    return 1;
  }

  const unsigned long commands_;
  SoakDaemon daemon_;
  SoakController controller_;
  Board::Sim::ControlClient control_;
  RtcpSink rtcp_;
  unsigned long sent_ = 0, reconnections_ = 0, unexpected_ = 0, nextSample_ = 0;
  long launchRss_ = -1, warmRss_ = -1;
  std::vector<long> samples_;
  std::map<std::string, int> launchFds_;
};

}  // namespace

int main(int argc, char* argv[]) {
  namespace fs = std::filesystem;
  Options options;
  const fs::path build = fs::read_symlink("/proc/self/exe").parent_path().parent_path().parent_path();
  options.server = (build / "server" / "server").string();
  options.standin = (build / "media" / "standin").string();
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool valued = i + 1 < argc;
    if (arg == "--commands" && valued) {
      options.commands = std::strtoul(argv[++i], nullptr, 10);
    } else if (arg == "--server" && valued) {
      options.server = argv[++i];
    } else if (arg == "--standin" && valued) {
      options.standin = argv[++i];
    } else if (arg == "--keep") {
      options.keep = true;
    } else {
      std::cerr << "usage: bench_soak [--commands N] [--server PATH] [--standin PATH] [--keep]" << std::endl;
      return 2;
    }
  }
  return Soak(options).run();
}
