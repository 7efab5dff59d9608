#include "foundation/protocol/TPKTTracer.h"

#include <sys/socket.h>
#include <sys/uio.h>

#include <cerrno>
#include <iostream>

#include "foundation/protocol/Tpkt_protocol.h"

namespace {

Fd listen_any(unsigned short port) {
  Fd s(socket(AF_INET, SOCK_STREAM, 0));
  if (!s) return s;
  int on = 1;
  INet4::Addr any;
  any.set_port(port);
  if (setsockopt(s.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      bind(s.get(), any.sa(), INet4::Addr::size()) != 0 || listen(s.get(), 1) != 0 || !s.NonBlock())
    return Fd();
  return s;
}

// The header and the payload in one call; the result of sendmsg.
ssize_t send_frame(int fd, const void* data, unsigned length) {
  unsigned total = length + Tpkt_protocol::header_size;
  uint8_t header[4] = {3, 0, uint8_t(total >> 8), uint8_t(total)};
  iovec pieces[2] = {{header, sizeof header}, {const_cast<void*>(data), length}};
  msghdr m{};
  m.msg_iov = pieces;
  m.msg_iovlen = 2;
  return sendmsg(fd, &m, MSG_NOSIGNAL);
}

// Sends a frame; false when the connection is to be closed (a failure
// other than an interrupt, or a short send).
bool frame_sent(int fd, const void* data, unsigned length) {
  ssize_t n = send_frame(fd, data, length);
  return n < 0 ? errno == EINTR : size_t(n) >= length + 4u;
}

// Accepts every waiting connection and hands each non-blocking socket over.
template <class Open>
void accept_each(int fd, const char* opened, Open open) {
  for (;;) {
    INet4::Addr peer;
    socklen_t size = INet4::Addr::size();
    int s = accept(fd, peer.sa(), &size);
    if (s < 0) return;
    Fd socket(s);
    std::clog << opened << peer << std::endl;
    if (socket.NonBlock()) open(socket, peer);
  }
}

template <class List>
typename List::iterator find_fd(List& connections, int fd) {
  for (auto it = connections.begin(); it != connections.end(); ++it)
    if ((*it)->event.fd().get() == fd) return it;
  return connections.end();
}

enum class Step { More, Wait, Close, Message };

// Reads what the connection still expects and walks the header and payload
// states; Message leaves a whole payload of `length` bytes in the buffer.
template <class C>
Step read_step(int fd, C& c, unsigned max_payload, unsigned& length) {
  for (;;) {
    ssize_t n = recv(fd, c.buffer + c.received, c.expected - c.received, MSG_NOSIGNAL);
    if (n == 0) return Step::Close;
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno == EAGAIN || errno == EWOULDBLOCK ? Step::Wait : Step::Close;
    }
    c.received += unsigned(n);
    if (c.received < c.expected) return Step::Wait;
    c.received = 0;
    if (c.reading == 0) {
      c.reading = 1;
      length = c.expected;
      c.expected = 4;
      return Step::Message;
    }
    if (c.buffer[0] != 3 || c.buffer[1] != 0) return Step::Close;
    length = c.buffer[2] * 256u + c.buffer[3];
    if (length < 4) return Step::Close;
    if (length == 4) continue;
    if (length - 4 > max_payload) return Step::Close;
    c.reading = 0;
    c.expected = length - 4;
  }
}

// Serves a readiness of the connection on fd: an error or a bad frame
// closes it; each whole message goes to deliver(position, length), which
// answers the connection's position afterwards (end once it was closed).
template <class Position, class Find, class Close, class Deliver>
void serve(int fd, short revents, unsigned max_payload, Position end, Find find, Close close, Deliver deliver) {
  Position it = find(fd);
  if (it == end) return;
  if (revents & (POLLERR | POLLHUP)) return close(it);
  for (;;) {
    unsigned length = 0;
    Step step = read_step(fd, **it, max_payload, length);
    if (step == Step::Wait) return;
    if (step == Step::Close) return close(it);
    it = deliver(it, length);
    if (it == end) return;
  }
}

}  // namespace

TPKTTracer::TPKTTracer() : current_(connections_.end()) {
  listenEvent_.Bind("TPKTTracer::OnEvent", &TPKTTracer::OnEvent, this);
}

TPKTTracer::~TPKTTracer() {
  for (Connection* c : connections_) delete c;
  listenEvent_.Release();
}

bool TPKTTracer::Listen(unsigned short port) {
  Fd s = listen_any(port);
  if (!s) return false;
  listenEvent_.Schedule(s, POLLIN);
  return true;
}

void TPKTTracer::OnEvent(int fd, short revents) {
  if (!(revents & POLLIN)) return;
  accept_each(fd, "ACP connection open from ", [this](const Fd& socket, const INet4::Addr&) {
    Connection* c = new Connection;
    c->event.Bind("TPKTTracer::OnDataEvent", &TPKTTracer::OnDataEvent, this);
    c->event.Schedule(socket, POLLIN);
    connections_.push_back(c);
  });
}

void TPKTTracer::OnDataEvent(int fd, short revents) {
  serve(
      fd, revents, max_payload, connections_.end(), [this](int f) { return FindConnection(f); },
      [this](Position it) { CloseConnection(it); },
      [this](Position it, unsigned length) {
        if (!listener_) return it;
        current_ = it;
        listener_->OnTPKTMessage((*it)->buffer, length);
        return current_;
      });
  current_ = connections_.end();
}

void TPKTTracer::Send(const void* data, unsigned length) {
  if (!Tpkt_protocol::payload_fits(length)) return;
  if (current_ != connections_.end()) {
    if (!frame_sent((*current_)->event.fd().get(), data, length)) CloseConnection(current_);
    return;
  }
  for (Position it = connections_.begin(); it != connections_.end();) {
    Position next = std::next(it);
    if (!frame_sent((*it)->event.fd().get(), data, length)) CloseConnection(it);
    it = next;
  }
}

TPKTTracer::Position TPKTTracer::FindConnection(int fd) { return find_fd(connections_, fd); }

void TPKTTracer::CloseConnection(Position position) {
  if (position == current_) current_ = connections_.end();
  delete *position;
  connections_.erase(position);
}

TPKTTracerP2P::TPKTTracerP2P() { listenEvent_.Bind("TPKTTracerP2P::OnEvent", &TPKTTracerP2P::OnEvent, this); }

TPKTTracerP2P::~TPKTTracerP2P() {
  for (Connection* c : connections_) delete c;
  listenEvent_.Release();
}

bool TPKTTracerP2P::Listen(unsigned short port) {
  Fd s = listen_any(port);
  if (!s) return false;
  port_ = port;
  listenEvent_.Schedule(s, POLLIN);
  return true;
}

void TPKTTracerP2P::OnEvent(int fd, short revents) {
  if (!(revents & POLLIN)) return;
  accept_each(fd, "TPKT peer-to-peer connection open from ", [this](const Fd& socket, const INet4::Addr& peer) {
    Connection* c = new Connection;
    c->peer = peer;
    c->event.Bind("TPKTTracerP2P::OnDataEvent", &TPKTTracerP2P::OnDataEvent, this);
    c->event.Schedule(socket, POLLIN);
    connections_.push_back(c);
    if (listener_) listener_->OnPeerConnected(peer, c->event.fd().get());
  });
}

void TPKTTracerP2P::OnDataEvent(int fd, short revents) {
  serve(
      fd, revents, max_payload, connections_.end(), [this](int f) { return FindConnection(f); },
      [this](Position it) { CloseConnection(it); },
      [this, fd](Position it, unsigned length) {
        if (!listener_) return it;
        INet4::Addr peer = (*it)->peer;
        listener_->OnPeerMessage(peer, (*it)->buffer, length);
        // The listener may have closed this very connection.
        return FindConnection(fd);
      });
}

int TPKTTracerP2P::Send(const INet4::Addr& peer, const void* data, unsigned length) {
  Position it = FindConnection(peer);
  if (it == connections_.end()) return -EFAULT;
  if (!Tpkt_protocol::payload_fits(length)) return -EMSGSIZE;
  ssize_t n = send_frame((*it)->event.fd().get(), data, length);
  if (n < 0) {
    int error = errno;
    if (error != EINTR) CloseConnection(it);
    return -error;
  }
  if (size_t(n) < length + 4u) CloseConnection(it);
  return int(n);
}

int TPKTTracerP2P::Close(const INet4::Addr& peer) {
  Position it = FindConnection(peer);
  if (it == connections_.end()) return -EFAULT;
  CloseConnection(it);
  return 0;
}

bool TPKTTracerP2P::IsConnected(const INet4::Addr& peer) { return FindConnection(peer) != connections_.end(); }

TPKTTracerP2P::Position TPKTTracerP2P::FindConnection(int fd) { return find_fd(connections_, fd); }

TPKTTracerP2P::Position TPKTTracerP2P::FindConnection(const INet4::Addr& peer) {
  for (Position it = connections_.begin(); it != connections_.end(); ++it)
    if ((*it)->peer.IsEqual(peer)) return it;
  return connections_.end();
}

void TPKTTracerP2P::CloseConnection(Position position) {
  Connection* c = *position;
  connections_.erase(position);
  if (listener_) listener_->OnPeerClosed(c->peer);
  std::clog << "TPKT peer-to-peer connection close for " << c->peer << std::endl;
  delete c;
}
