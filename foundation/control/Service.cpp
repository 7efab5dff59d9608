#include "foundation/control/Service.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <iostream>

#include "foundation/eventloop/Profile.h"
#include "foundation/protocol/Tpkt_protocol.h"

namespace Control {

const char* GetTextNotation(Service::State::Type state) {
  switch (state) {
    case Service::State::Idle: return "Idle";
    case Service::State::Connecting: return "Connecting";
    case Service::State::Deactivating: return "Deactivating";
    case Service::State::Connected: return "Connected";
  }
  return "Unknown";
}

Service::Service(bool verbose) : verbose_(verbose), strm_(new StrmProtocol) {
  add_protocol_tail(strm_);
  add_protocol_tail(new Tpkt_protocol);
  loss_.Bind(this, &Service::OnDeactivateDPC);
}

Service::~Service() = default;

bool Service::Activate() {
  Deactivate();
  state_ = State::Connecting;
  bool ok = ImplActivate();
  if (!ok) state_ = State::Idle;
  return ok;
}

void Service::Deactivate() {
  ImplDeactivate();
  state_ = State::Idle;
}

void Service::Disconnect() {
  if (state_ != State::Deactivating) ProtocolsFamily::deactivate();
}

void Service::Send(const char* data, int length) {
  switch (state_) {
    case State::Connected: {
      if (!Tpkt_protocol::payload_fits(length)) return;
      static Profile::Point prepare("Control::Service::Send [1]");
      static Profile::Point hand_down("Control::Service::Send [2]");
      prepare.begin();
      Packet p;
      prepare_head(p);
      p.passert(!p.null(), "null packet");
      p.passert(unsigned(length) <= p.tailroom(), "len<=_tailroom()");
      p.put(data, unsigned(length));
      prepare.end();
      hand_down.begin();
      ProtocolsFamily::message(p);
      hand_down.end();
      return;
    }
    case State::Deactivating: return;
    default:
      if (verbose_)
        std::clog << "Control::Service::Send() ignore Send request in " << GetTextNotation(state_) << " state."
                  << std::endl;
  }
}

void Service::attach_connection(const Fd& socket, const std::string& peer) {
  peer_ = peer;
  state_ = State::Connected;
  strm_->attach(socket);
  ProtocolsFamily::activate();
  if (notify_) notify_->OnConnect();
}

void Service::on_message(Packet& p) {
  if (state_ == State::Deactivating || !notify_) return;
  p.passert(!p.null(), "null packet");
  notify_->OnMessage(reinterpret_cast<const char*>(p.data()), int(p.length()));
}

void Service::on_deactivated(Protocol*, Protocol_status) {
  if (verbose_) std::clog << "control connection " << peer_ << " closed." << std::endl;
  state_ = State::Deactivating;
  loss_.Activate();
}

void Service::OnDeactivateDPC() {
  loss_.Deactivate();
  state_ = State::Connecting;
  ImplOnDisconnect();
  if (notify_) notify_->OnDisconnect();
}

void ServiceNet::Connected(const Fd& socket, const INet4::Addr& peer) {
  if (state() == State::Deactivating) return;
  int on = 1;
  if (setsockopt(socket.get(), SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) != 0 && verbose())
    std::cerr << "fail set keepalive to control socket." << std::endl;
  if (setsockopt(socket.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0 && verbose())
    std::cerr << "fail to turn off Nagle algorithm." << std::endl;
  peer_address_ = peer;
  attach_connection(socket, peer.GetString());
}

void ServiceUnix::Connected(const Fd& socket, const std::string& path) {
  if (state() == State::Deactivating) return;
  attach_connection(socket, path);
}

}  // namespace Control
