#include "board/sim/RtpExt.h"

#include "board/dev/Rtp.h"
#include "board/sim/Hex.h"
#include "board/sim/Registry.h"

#include <arpa/inet.h>
#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>

namespace Board {
namespace Sim {

namespace Ext = Dev::RtpExt;

const Answer<RtpExt> RtpExt::requestTable[] = {
    {Ext::InitSession, "init", &RtpExt::init},
    {Ext::AttachSession, "attach", &RtpExt::attach},
    {Ext::DetachSession, "detach", &RtpExt::detach, Form::Record, Ext::Attach::Size},
    {Ext::NextPacketInfo, "info", &RtpExt::packetInfo},
    {Ext::SetFilter, "filter", &RtpExt::setFilter},
    {Ext::ResetFilter, "unfilter", &RtpExt::resetFilter, Form::Record, Ext::Filter::Size},
};

const Control<RtpExt> RtpExt::commandTable[] = {
    {"sessions", "", &RtpExt::sessionsCommand},
    {"receive", "SESSION ADDRESS SSRC HEX", &RtpExt::receiveCommand},
};

namespace {

std::string address(uint32_t addr) {
  in_addr a{addr};
  return inet_ntoa(a);
}

// A descriptor of this process, whose file the board can check.
bool ours(int32_t pid) { return pid == -1 || pid == ::getpid(); }

// True when the daemon has read every block handed to its descriptor.
bool drained(const OpenFile& file) {
  int unread = 0;
  return ::ioctl(file.peer, SIOCOUTQ, &unread) == 0 && unread == 0;
}

}  // namespace

RtpExt::RtpExt() : Device("rtp_ext", Ext::Path, JournalCommands | HangupCommand), sessions_(*this) {
  answer(this, requestTable);
  control(this, commandTable);
}

void RtpExt::opened(OpenFile& file) { of(file); }

RtpExt::Session& RtpExt::of(const OpenFile& file) {
  Session& s = sessions_.of(file);
  if (!s.number) s.number = ++opened_;
  return s;
}

unsigned RtpExt::rtpFile(int32_t fd) {
  const Registry::Target t = Registry::instance().lookup(fd);
  return t.device && t.device->path().text() == Dev::Rtp::Path ? t.file->id : 0;
}

bool RtpExt::stale(const Session& s) { return s.rtpFile && rtpFile(s.fdRtp) != s.rtpFile; }

RtpExt::Session& RtpExt::journaled(Call& call) {
  Session& s = of(call.file());
  call.journal(std::to_string(s.number) + " " + Hex::encode(call.record, call.size, Hex::Lower));
  return s;
}

void RtpExt::feed(const OpenFile& file, Session& s) {
  if (!drained(file)) return;
  if (s.handedOver) {
    s.queue.pop_front();
    s.handedOver = false;
  }
  if (s.queue.empty()) return;
  const std::string& bytes = s.queue.front().bytes;
  s.handedOver = ::send(file.peer, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL) == ssize_t(bytes.size());
}

int RtpExt::init(Call& call) {
  Session& s = journaled(call);
  if (!s.init.empty()) return -EBUSY;
  s.init.assign(reinterpret_cast<const char*>(call.record), call.size);
  return 0;
}

int RtpExt::attach(Call& call) {
  Session& s = journaled(call);
  const int32_t fd = call.in.get(Ext::Attach::FdRtp);
  const int32_t pid = call.in.get(Ext::Attach::PidRtp);
  if (s.init.empty() || s.attached) return -EINVAL;
  // A session of this process must be an open RTP session.
  const unsigned file = ours(pid) ? rtpFile(fd) : 0;
  if (ours(pid) && !file) return -EBADF;
  s.attached = true;
  s.fdRtp = fd;
  s.pidRtp = pid;
  s.rtpFile = file;
  return 0;
}

int RtpExt::detach(Call& call) {
  Session& s = journaled(call);
  if (!s.attached || call.in.get(Ext::Attach::FdRtp) != s.fdRtp || call.in.get(Ext::Attach::PidRtp) != s.pidRtp)
    return -EINVAL;
  if (stale(s)) return -EBADF;
  s.attached = false;
  return 0;
}

int RtpExt::packetInfo(Call& call) {
  Session& s = of(call.file());
  feed(call.file(), s);
  const Block none{0, 0, std::string()};
  const Block& next = s.handedOver ? s.queue.front() : none;
  call.out.put(Ext::PacketInfo::Ssrc, next.ssrc);
  call.out.put(Ext::PacketInfo::Addr, ntohl(next.addr));
  call.out.put(Ext::PacketInfo::Spare, 0);
  return int(next.bytes.size());
}

int RtpExt::setFilter(Call& call) {
  Session& s = journaled(call);
  s.filter = htonl(call.in.get(Ext::Filter::Addr));
  for (auto it = s.queue.begin() + (s.handedOver ? 1 : 0); it != s.queue.end();) {
    if (!s.filter || it->addr == s.filter) {
      ++it;
    } else {
      it = s.queue.erase(it);
      ++s.filtered;
    }
  }
  return 0;
}

int RtpExt::resetFilter(Call& call) {
  journaled(call).filter = 0;
  return 0;
}

ssize_t RtpExt::write(OpenFile& file, const uint8_t* data, size_t len) {
  Session& s = of(file);
  journalLine("write " + std::to_string(s.number) + " " + Hex::encode(data, len, Hex::Lower));
  feed(file, s);
  if (!s.attached || len == 0 || len > Ext::BlockMax) return -EINVAL;
  return ssize_t(len);
}

void RtpExt::sessionsCommand(Args&, Reply& reply) {
  for (const auto& entry : sessions_.all()) {
    const Session& s = entry.second;
    std::string line = std::to_string(s.number);
    if (s.init.empty()) {
      line += " init=none";
    } else {
      RecordReader in(s.init.data(), s.init.size());
      line += " etype=" + Hex::number(in.get(Ext::Init::Etype), 4) +
              " mode=" + std::to_string(in.get(Ext::Init::Mode)) + " pt=" + std::to_string(in.get(Ext::Init::Pt)) +
              " interval=" + std::to_string(in.get(Ext::Init::IntervalPkts)) +
              " sigtime=" + std::to_string(in.get(Ext::Init::Sigtime));
    }
    line += " attach=" + (s.attached ? std::to_string(s.fdRtp) + "/" + std::to_string(s.pidRtp) : std::string("none"));
    if (s.attached && stale(s)) line += " stale";
    line += " filter=" + (s.filter ? address(s.filter) : std::string("off"));
    line += " queued=" + std::to_string(s.queue.size()) + " filtered=" + std::to_string(s.filtered);
    reply.line(line);
  }
}

void RtpExt::receiveCommand(Args& args, Reply& reply) {
  const unsigned number = unsigned(args.number("session", 1, UINT32_MAX));
  const std::string text = args.word();
  const uint32_t ssrc = uint32_t(args.number("ssrc", 0, UINT32_MAX));
  const std::string bytes = args.bytes("hex");
  in_addr addr{};
  if (args && ::inet_aton(text.c_str(), &addr) == 0) args.bad("address", text);
  if (args && bytes.size() > Ext::BlockMax) reply.fail("block longer than " + std::to_string(Ext::BlockMax) + " bytes");
  if (reply.failed()) return;
  for (const OpenFile& f : files()) {
    Session* s = sessions_.find(f);
    if (!s || s->number != number) continue;
    if (s->filter && s->filter != addr.s_addr) {
      ++s->filtered;
      return reply.line("filtered");
    }
    if (s->queue.size() == QueueLimit) return reply.fail("queue full in session " + std::to_string(number));
    s->queue.push_back(Block{addr.s_addr, ssrc, bytes});
    feed(f, *s);
    return reply.line("queued " + std::to_string(s->queue.size()));
  }
  reply.fail("no session: " + std::to_string(number));
}

}  // namespace Sim
}  // namespace Board
