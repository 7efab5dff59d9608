#include "radio/RadioControl.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <list>

#include "board/Board.h"
#include "foundation/eventloop/Clock.h"
#include "foundation/os/Net.h"
#include "foundation/os/TimeVal.h"

namespace RTPSignalling {

namespace {

constexpr size_t PrefixMax = 253;

}  // namespace

uint32_t Elapsed(uint32_t now, uint32_t then) {
  const int32_t d = int32_t(now - then);
  return d > 0 ? uint32_t(d) : 0;
}

RadioControl::RadioControl(int id, const rtp_ext_attach_session_params& attach, const rtp_ext_init_params& init)
    : extInit(init), extAttach(attach), id(uint32_t(id)) {
  Init(ExtAttach);
}

RadioControl::RadioControl(int id, Fd rtp, const rtp_attach_session_params& attach)
    : rtpFd(std::move(rtp)), rtpAttach(attach), id(uint32_t(id)) {
  Init(RtpAttach);
}

void RadioControl::Init(RadioControlType kind) {
  type = kind;
  lastActivity = Mux::milliseconds();
  statusInterval = 1000;
  filterSet = 0;
  notify = nullptr;
  timerEnabled = 0;
  trace = 0;
  extEvent.Bind("RadioControl::OnRtpExtEvent", &RadioControl::OnRtpExtEvent, this);
  RtpExtStart(true);
  std::list<INet4::Addr> addresses;
  Net::ifconfig(addresses, Net::ifPrivate);
  if (addresses.empty()) {
    localAddr.Assign("127.0.0.1", nullptr);
  } else {
    localAddr = addresses.front();
  }
}

std::string RadioControl::GetPrefix() {
  Mux::timeval now;
  Mux::gettimeval(now);
  prefix = "rtp_ext[" + std::to_string(id) + "] " + Mux::timevaltostring(now) + ":";
  if (prefix.size() > PrefixMax) prefix.resize(PrefixMax);
  return prefix;
}

bool RadioControl::RtpExtStart(bool) {
  if (type == RtpAttach) {
    if (RtpExtDevice::attachRtpSession(rtpFd.get(), rtpAttach) < 0) {
      std::cerr << GetPrefix() << "attach rtp session fail !!!" << std::endl;
      return false;
    }
    return true;
  }
  Fd fd = RtpExtDevice::open();
  if (!fd) {
    std::cerr << GetPrefix() << "create rtp_ext session fail !!!" << std::endl;
    return false;
  }
  if (RtpExtDevice::init(fd.get(), extInit) < 0) {
    std::cerr << GetPrefix() << "init rtp_ext session fail !!!" << std::endl;
    return false;
  }
  if (RtpExtDevice::attach(fd.get(), extAttach) < 0) {
    std::cerr << GetPrefix() << "attach rtp_ext session fail !!!" << std::endl;
    return false;
  }
  extFd = std::move(fd);
  extEvent.Schedule(extFd, POLLIN);
  return true;
}

bool RadioControl::RtpExtStop() {
  if (type == RtpAttach) {
    // Our duplicate would keep the slot's session alive in the engine.
    rtpFd.close();
    return true;
  }
  // Asked even when no session started: its refusal is logged like any other.
  if (RtpExtDevice::detach(extFd.get(), extAttach) < 0) {
    std::cerr << GetPrefix() << "detach rtp_ext session fail !!!" << std::endl;
  }
  extFd.close();
  extEvent.Release();
  return true;
}

void RadioControl::FollowSession(const Fd& rtp) {
  if (type == RtpAttach) {
    rtpFd = rtp.dup();
  } else {
    extAttach.fd_rtp = rtp.get();
  }
}

void RadioControl::SetTimerEnable(bool on) {
  timerEnabled = on;
  if (on) {
    statusTimer.set(statusInterval, &RadioControl::OnProcessStatus, this);
  } else {
    statusTimer.reset();
  }
}

void RadioControl::OnProcessStatus(Timer*) {
  const uint32_t now = Mux::milliseconds();
  lastActivity = now;
  const uint32_t next = ProcessRadioStatus(now, statusInterval);
  if (timerEnabled) statusTimer.set(next, &RadioControl::OnProcessStatus, this);
}

int RadioControl::UpdateAccess(bool set, const in_addr& addr) {
  if (set) {
    if (filterSet && filter.addr == addr.s_addr) return 0;
    filter = rtp_ext_filter_params{addr.s_addr, 0};
    filterSet = 1;
    if (RtpExtDevice::setFilter(extFd.get(), filter) < 0) {
      std::cerr << GetPrefix() << "set filer rtp_ext session fail !!!" << std::endl;
    }
  } else if (filterSet) {
    filter = rtp_ext_filter_params{};
    filterSet = 0;
    if (RtpExtDevice::resetFilter(extFd.get(), filter) < 0) {
      std::cerr << GetPrefix() << "reset filer rtp_ext session fail !!!" << std::endl;
    }
  }
  return 0;
}

void RadioControl::OnRtpExtEvent(int, short revents) {
  if ((revents & POLLIN) && trace) std::clog << GetPrefix() << "receive extension packet(s)!" << std::endl;
}

ssize_t RadioControl::ReadBlock(unsigned char* buf, size_t size) {
  for (;;) {
    const int info = RtpExtDevice::packetInfo(extFd.get(), pktInfo);
    if (info > 0) ++counters.infoRequests;
    if (info < 0) counters.infoErrno = errno;
    const ssize_t n = Board::read(extFd.get(), buf, size);
    if (n > 0) counters.bytesRead += uint32_t(n);
    if (n < 0) counters.readErrno = errno;
    if (n <= 0 || info >= 0) return n;
    // Its source is unknown, and the one before would be taken for it (a push-to-talk holder's too).
    std::cerr << GetPrefix() << "packet info rtp_ext session fail: " << std::strerror(counters.infoErrno)
              << ", block dropped" << std::endl;
  }
}

int RadioControl::WriteBlock(const unsigned char* buf, int length) {
  const ssize_t n = Board::write(extFd.get(), buf, size_t(length));
  if (n < 0) {
    counters.writeErrno = errno;
  } else {
    ++counters.written;
    counters.bytesWritten += uint32_t(n);
  }
  return int(n);
}

void RadioControl::CheckSession(ssize_t lastRead, short revents) {
  if (revents & (POLLERR | POLLHUP | POLLNVAL)) {
    std::cerr << GetPrefix() << "rtp_ext session hung up, no longer read" << std::endl;
  } else if (lastRead == 0) {
    std::cerr << GetPrefix() << "rtp_ext session ended, no longer read" << std::endl;
  } else if (lastRead < 0 && counters.readErrno != EAGAIN && counters.readErrno != EINTR) {
    std::cerr << GetPrefix() << "read rtp_ext session fail: " << std::strerror(counters.readErrno) << ", no longer read"
              << std::endl;
  } else {
    return;
  }
  extEvent.Release();
}

}  // namespace RTPSignalling
