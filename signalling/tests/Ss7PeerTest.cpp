// Our SS7 link against an independent one: libss7 (Debian package libss7-dev)
// runs MTP2 and MTP3 on the far end of a PSTN slot's channel, turned by the
// test's loop in real time, one signal unit every 10 ms. Level 3 on our side is
// the controller's: the test answers the peer's link test and traffic restart.

#include "signalling/PstnSlot.h"
#include "slots/tdm/tests/SlotKinds.h"

#ifdef GW_HAVE_LIBSS7
extern "C" {
#include <libss7.h>
}
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "board/sim/FarEndClient.h"
#include "testing/Frames.h"

// ss7_destroy() leaves the library's link records behind.
extern "C" const char* __lsan_default_suppressions() { return "leak:libss7"; }

namespace {

using Clock = std::chrono::steady_clock;

std::string peerLog;
void peerMessage(struct ss7*, char* text) { peerLog += text; }

// libss7 takes the channel for a DAHDI D channel, whose frames carry two
// octets of FCS: a socket pair between the two adds and takes them off.
class Peer {
public:
  explicit Peer(int32_t channel) {
    ::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, dahdi_);
    ss7_set_message(peerMessage);
    ss7_set_error(peerMessage);
    ss7_set_debug(link_, SS7_DEBUG_MTP2 | SS7_DEBUG_MTP3);
    ss7_set_network_ind(link_, SS7_NI_NAT);
    ss7_set_pc(link_, 2);
    ss7_add_link(link_, SS7_TRANSPORT_DAHDIDCHAN, dahdi_[0], 0, 1);
    EXPECT_TRUE(line_.connect(channel, 3000) && ss7_start(link_) == 0);
  }
  ~Peer() {
    ss7_destroy(link_);
    ::close(dahdi_[0]);
    ::close(dahdi_[1]);
  }
  // Frames across, a signal unit when its time has come, timers; true once the peer has the link up.
  bool turn() {
    pollfd fds[] = {{dahdi_[0], POLLIN, 0}, {dahdi_[1], POLLIN, 0}, {line_.fd(), POLLIN, 0}};
    ::poll(fds, 3, 0);
    if (fds[0].revents & POLLIN) ss7_read(link_, dahdi_[0]);
    char frame[512];
    const ssize_t n = fds[1].revents & POLLIN ? ::read(dahdi_[1], frame, sizeof frame) : 0;
    if (n > 2) line_.send(std::string(frame, size_t(n - 2)));
    std::string received;
    if ((fds[2].revents & POLLIN) && line_.receive(received, 0)) {
      received.append(2, '\0');
      (void)!::write(dahdi_[1], received.data(), received.size());
    }
    if (Clock::now() >= next_) {
      next_ = Clock::now() + std::chrono::milliseconds(10);
      ss7_write(link_, dahdi_[0]);
    }
    ss7_schedule_run(link_);
    while (ss7_event* e = ss7_check_event(link_)) up_ = up_ || e->e == SS7_EVENT_UP;
    return up_;
  }

private:
  int dahdi_[2] = {-1, -1};
  struct ss7* link_ = ss7_new(SS7_ITU);
  Board::Sim::FarEndClient line_;
  Clock::time_point next_ = Clock::now();
  bool up_ = false;
};

// Level 3's answer to an SLTM (SLTA) or a TRA, "" to anything else: the same
// message with the points of the ITU routing label swapped.
std::string answer(std::string msu) {
  const bool sltm = msu.size() > 5 && (msu[0] & 0x0F) == 1 && uint8_t(msu[5]) == 0x11;
  if (!sltm && !(msu.size() > 5 && (msu[0] & 0x0F) == 0 && uint8_t(msu[5]) == 0x17)) return "";
  uint32_t label = 0;
  for (int i = 4; i > 0; --i) label = label << 8 | uint8_t(msu[i]);
  label = (label >> 14 & 0x3FFF) | (label & 0x3FFF) << 14 | (label & 0xF0000000);
  for (int i = 1; i < 5; ++i, label >>= 8) msu[i] = char(label);
  if (sltm) msu[5] = 0x21;
  return msu;
}

class Ss7Peer : public tdm::SlotKindTest {
protected:
  void SetUp() override {
    PstnFactory::instance();
    SlotKindTest::SetUp();
  }
};

TEST_F(Ss7Peer, AlignsToInServiceAndCarriesMessagesBothWays) {
  send("{ slot 2, pdu command : create : pstn : ss7 : { trunk 1, slc 0, dpc 2, opc 1, emergency TRUE } }");
  send("{ slot 1, pdu command : create : trunk : { trunk 0, timeslot 16 } }");
  send("{ slot 1, pdu command : connect : 2 }");
  Peer peer(256);
  std::string heard;
  auto now = Clock::now();
  const bool up = Testing::runUntil(
      [&] {
        // The loop clock follows the peer's.
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - now);
        now += ms;
        Testing::pin(Testing::pinned() + uint64_t(ms.count()));
        c->pump();
        for (const std::string& frame : c->frames) {
          const std::string text = Testing::notation(frame);
          const size_t at = text.find("userData : '") + 12;
          const std::string msu = at < 12 ? "" : answer(Testing::bytes(text.substr(at, text.find('\'', at) - at)));
          if (!msu.empty()) c->send(Testing::lgcp("{ slot 2, pdu command : userData : '" + Testing::hex(msu) + "'H }"));
          heard += text + "\n";
        }
        c->frames.clear();
        return peer.turn();
      },
      15000);
  EXPECT_TRUE(up) << heard << logs.str() << peerLog;
  EXPECT_NE(heard.find("{ slot 2, pdu signal : activated : NULL }"), std::string::npos) << heard;
}

}  // namespace

#else

TEST(Ss7Peer, AlignsToInServiceAndCarriesMessagesBothWays) {
  GTEST_SKIP() << "libss7 is not found (scripts/run-tests installs libss7-dev, scripts/run-tests-ppc builds it): "
                  "the SS7 link against libss7 is skipped";
}

#endif
