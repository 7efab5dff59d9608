#include "signalling/Hdlc.h"

#include <fcntl.h>
#include <poll.h>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <new>

#include "board/Board.h"
#include "board/dev/Mcc.h"
#include "foundation/config/TraceCtl.h"
#include "foundation/os/Ext.h"
#include "hardware/HwMux.h"
#include "hardware/MccChannel.h"

namespace {

namespace Ctl = Board::Dev::Mcc;

// The controller channel type each mode allocates.
struct ModeType {
  int32_t mode;
  uint32_t type;
};
constexpr ModeType modeTypes[] = {{0, Ctl::Ss7}, {1, Ctl::Data}, {2, Ctl::Bri}};

constexpr uint32_t RxPacketSize = 512;
constexpr uint32_t RxThreshold = 1;
constexpr uint32_t TxThreshold = 4;

const ModeType* typeOf(int32_t mode) {
  for (const ModeType& m : modeTypes) {
    if (m.mode == mode) return &m;
  }
  return nullptr;
}

class NullNotify : public HDLC::Notify {
public:
  void on_hdlc_receive(Packet&) override {}
  void on_hdlc_error(Cause::Type) override {}
  void on_hdlc_ready() override {}
};

}  // namespace

HDLC::HDLC() { unbind(); }

HDLC::~HDLC() = default;

void HDLC::unbind() {
  static NullNotify nobody;
  notify = &nobody;
}

bool HDLC::activate() {
  deactivate();
  txSU = txDiscard = txError = txOverflow = rxSU = 0;
  const ModeType* mode = typeOf(params.mode);
  if (!mode) {
    std::cerr << ext::header(this) << "no channel type for mode " << params.mode << std::endl;
    return false;
  }
  const MccChannel mcc =
      MccChannel::open(O_RDWR | O_NONBLOCK | O_CLOEXEC, {mode->type, RxPacketSize, RxThreshold, TxThreshold});
  if (!mcc) {
    std::cerr << ext::header(this)
              << mcc.failure("fail to open MCC device: ", "MCC_ALLOCATE fail: ", "MCC_TIMESLOT fail: ")
              << std::strerror(mcc.error) << std::endl;
    return false;
  }
  // The switch logs its own failures.
  HwMux::instance().Connect(mcc.timeslot, params.mode == 2 ? params.tdm_tx : params.tdm);
  HwMux::instance().Connect(params.tdm, mcc.timeslot);
  m_event.Bind("HDLC::OnEvent", &HDLC::OnEvent, this);
  m_event.Schedule(mcc.fd, POLLIN | POLLOUT);
  ++generation;
  ready = false;
  if (traces.signalling_hdlc) std::clog << ext::header(this) << "activated" << std::endl;
  return true;
}

void HDLC::deactivate() {
  m_event.Release();
  ++generation;
  ready = false;
  if (traces.signalling_hdlc) std::clog << ext::header(this) << "deactivated" << std::endl;
}

bool HDLC::is_open() const { return bool(m_event.fd()); }

void HDLC::PutHeader(std::ostream& out) const {
  out << "hdlc"
      << " [" << trunk_no << "/" << params.timeslot << "]: ";
}

bool HDLC::hdlc_transmit(Packet& frame) {
  if (frame.length() == 0) return true;
  if (!is_open()) {
    ++txDiscard;
    return false;
  }
  if (traces.signalling_hdlc) std::clog << "HDLC[" << trunk_no << "]: tx " << frame.text() << std::endl;
  for (;;) {
    if (Board::write(m_event.fd().get(), frame.data(), frame.length()) != -1) {
      ++txSU;
      return true;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      ready = false;
      m_event.set_mask(POLLIN | POLLOUT);
    } else {
      ++txError;
    }
    return false;
  }
}

void HDLC::OnEvent(int, short revents) {
  // A descriptor in error or hung up reads as such: the read reports it.
  if (revents & (POLLIN | POLLERR | POLLHUP | POLLNVAL)) {
    const unsigned before = generation;
    receive();
    // The listener closed or reopened the channel: these events were the old descriptor's.
    if (generation != before) return;
  }
  if ((revents & POLLOUT) && !ready) {
    ready = true;
    m_event.set_mask(POLLIN);
    notify->on_hdlc_ready();
  }
}

void HDLC::receive() {
  if (traces.signalling_hdlc) std::clog << ext::header(this) << "do_read" << std::endl;
  if (!is_open()) {
    std::clog << ext::header(this) << "do_read: !m_event.IsActive()" << std::endl;
    return;
  }
  Packet frame;
  ssize_t n;
  try {
    frame.reserve_head(0);
    n = Board::read(m_event.fd().get(), frame.tail(), frame.tailroom());
  } catch (const std::bad_alloc&) {
    // No pool buffer: the frame is read and lost, or the loop would spin on it.
    uint8_t scrap;
    n = Board::read(m_event.fd().get(), &scrap, sizeof scrap);
    if (n > 0) {
      std::cerr << ext::header(this) << "no packet buffer, received frame dropped" << std::endl;
      return;
    }
  }
  if (n > 0) {
    frame.extend_tail(unsigned(n));
    if (traces.signalling_hdlc) std::clog << "HDLC[" << trunk_no << "]: rx " << frame.text() << std::endl;
    ++rxSU;
    notify->on_hdlc_receive(frame);
    return;
  }
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
  const char* why = n == 0 ? "end of file" : std::strerror(errno);
  std::cerr << ext::header(this) << "read error: " << why << std::endl;
  deactivate();
  notify->on_hdlc_error(Notify::Cause::receiveFailure);
}
