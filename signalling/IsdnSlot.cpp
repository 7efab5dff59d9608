#include "signalling/IsdnSlot.h"

#include <poll.h>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <new>

#include "asn1/modules/LGCP.h"
#include "board/Board.h"
#include "foundation/config/TraceCtl.h"
#include "foundation/os/Ext.h"

IsdnSlot::IsdnSlot(const Fd& fd, int channel, ISDN::LAPD* lapd, const char* eventName)
    : OneChannelSlot(channel), lapd(lapd) {
  lapd->notify = this;
  lapd->hdlc = this;
  m_event.Bind(eventName, &IsdnSlot::OnEvent, this);
  m_event.Schedule(fd, POLLIN | POLLOUT);
  add_protocol_tail(lapd);
}

IsdnSlot::~IsdnSlot() = default;

void IsdnSlot::PutHeader(std::ostream& out) const { out << "isdn-slot[" << channel << "]: "; }

bool IsdnSlot::IActivate(const TERM::TermActivateParams&) {
  activate();
  return true;
}

bool IsdnSlot::IDeactivate() {
  deactivate();
  return true;
}

bool IsdnSlot::IUserData(const std::vector<char>& data) {
  Packet message;
  try {
    prepare_head(message);
  } catch (const std::bad_alloc&) {
    ++lapd->stats.out_overflows;
    std::cerr << ext::header(this) << "packet pool empty: message dropped" << std::endl;
    return true;
  }
  if (data.size() > message.tailroom()) {
    ++lapd->stats.out_overflows;
    std::cerr << ext::header(this) << "message of " << data.size() << " octets dropped: longer than a frame"
              << std::endl;
    return true;
  }
  if (!data.empty()) message.put(data.data(), unsigned(data.size()));
  ProtocolsFamily::message(message);
  return true;
}

void IsdnSlot::on_message(Packet& message) {
  const char* octets = reinterpret_cast<const char*>(message.data());
  OnUserData(std::vector<char>(octets, octets + message.length()));
}

void IsdnSlot::on_activated(Protocol*) {
  reportInfo();
  OnActivated();
}

void IsdnSlot::on_deactivated(Protocol*, Protocol_status) {
  reportInfo();
  OnDeactivated();
}

void IsdnSlot::reportInfo() {
  LGCP::IoctlResponse response;
  if (lapd->GetInfo(response.select_isdnLinkInfo())) OnIoctlResponse(response);
}

bool IsdnSlot::is_open() const { return bool(m_event.fd()); }

bool IsdnSlot::hdlc_transmit(Packet& frame) {
  if (frame.length() == 0) return true;
  if (!is_open()) return false;
  for (;;) {
    if (Board::write(descriptor(), frame.data(), frame.length()) != -1) {
      if (traces.signalling_isdn) std::clog << ext::header(this) << ": tx " << frame.text() << std::endl;
      return true;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      ready = false;
      m_event.set_mask(POLLIN | POLLOUT);
    }
    return false;
  }
}

void IsdnSlot::OnEvent(int, short revents) {
  // A descriptor in error or hung up reads as such: the read reports it.
  if ((revents & (POLLIN | POLLERR | POLLHUP | POLLNVAL)) && !readFrame()) return;
  if ((revents & POLLOUT) && !ready) {
    ready = true;
    m_event.set_mask(POLLIN);
    lapd->on_hdlc_ready();
  }
}

bool IsdnSlot::readFrame() {
  Packet frame;
  ssize_t n;
  try {
    frame.reserve_head(0);
    n = Board::read(descriptor(), frame.tail(), frame.tailroom());
  } catch (const std::bad_alloc&) {
    // No pool buffer: the frame is read and lost, or the loop would spin on it.
    uint8_t scrap;
    n = Board::read(descriptor(), &scrap, sizeof scrap);
    if (n > 0) {
      ++lapd->stats.out_overflows;
      std::cerr << ext::header(this) << "packet pool empty: received frame dropped" << std::endl;
      return true;
    }
  }
  if (n > 0) {
    frame.extend_tail(unsigned(n));
    if (traces.signalling_isdn) std::clog << ext::header(this) << ": rx " << frame.text() << std::endl;
    receive(frame);
    return true;
  }
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return true;
  std::cerr << ext::header(this) << "read error: " << (n == 0 ? "end of file" : std::strerror(errno)) << std::endl;
  m_event.Release();
  ready = false;
  lapd->on_hdlc_error(HDLC::Notify::Cause::receiveFailure);
  return false;
}
