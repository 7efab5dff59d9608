#include "server/CtrlServer.h"

#include <iostream>

#include "asn1/CoderEnv.h"
#include "foundation/os/Ext.h"

namespace CtrlSrv {

Server ctrlServer;

namespace {

// Replies are small; most fit without a reallocation.
constexpr size_t EncodeReserve = 200;

}  // namespace

Server::~Server() {
  if (conn) conn->UnBind();
}

void Server::Bind(Service* service) {
  services.push_back(service);
  service->server = this;
}

void Server::Activate(Control::Service* service) {
  Deactivate();
  conn.reset(service);
  conn->service_name("server");
  conn->Bind(this);
  conn->Activate();
}

void Server::Deactivate() {
  if (!conn) return;
  conn->Deactivate();
  OnDisconnect();
  conn->UnBind();
  conn.reset();
}

void Server::PutHeader(std::ostream& out) const {
  if (!conn)
    out << "ctrl [null]: ";
  else if (conn->state() == Control::Service::State::Connected)
    out << "ctrl [" << conn->peer() << "]: ";
  else
    out << "ctrl [not connected]: ";
}

void Server::OnConnect() {
  dropReported = false;
  std::clog << ext::header(this) << "controller connect." << std::endl;
  for (size_t i = 0; i < services.size(); ++i) services[i]->OnConnect();
}

void Server::OnDisconnect() {
  for (size_t i = 0; i < services.size(); ++i) services[i]->OnDisconnect();
}

void Server::OnMessage(const char* data, int length) {
  LGCP::Message msg;
  ASN1::CoderEnv env(ASN1::CoderEnv::per_Aligned);
  if (env.decode(data, data + length, msg)) {
    Handle(msg);
  } else {
    std::cerr << ext::header(this) << "receive fail: decode error!" << std::endl
              << " msg: " << ext::OutBufInHex(data, size_t(length)) << std::endl;
  }
  slot = NoSlot;
}

void Server::Handle(const LGCP::Message& msg) {
  ackState = 0;
  hasSeq = msg.hasOptionalField(LGCP::Message::o_seq);
  if (hasSeq) seq = msg.get_seq().getUnsignedValue();
  if (msg.get_pdu().currentSelection() != LGCP::PDU::e_command) {
    Error(LGCP::ErrorCause::unexpectedMsgType);
    return;
  }
  slot = NoSlot;
  if (msg.hasOptionalField(LGCP::Message::o_slot)) {
    slot = msg.get_slot().getUnsignedValue();
    // The decoder does not range-check: a two-octet slot field carries up to 65535.
    if (slot > MaxSlot) {
      slot = NoSlot;
      Error(LGCP::ErrorCause::invalidSlot);
      return;
    }
  }
  const LGCP::Command& cmd = msg.get_pdu().get_command();
  bool taken = false;
  for (size_t i = 0; i < services.size() && !taken; ++i) taken = services[i]->OnCommand(cmd);
  if (!taken) {
    Error(LGCP::ErrorCause::unexpectedMsgType);
  } else if (ackState == 0) {
    std::cerr << ext::header(this) << "software error: server do NOT send ack!!!" << std::endl
              << "please report this fault to the gateway's developers." << std::endl;
    Error(LGCP::ErrorCause::internal);
  }
}

void Server::Reply(const LGCP::Response& response) {
  LGCP::Message msg;
  AssignSeq(msg);
  AssignSlot(msg);
  msg.get_pdu().select_response() = response;
  SendMsg(msg);
}

void Server::Success() {
  if (ackState != 0) return;
  ackState = 1;
  LGCP::Response response;
  response.select_success();
  Reply(response);
}

void Server::Error(LGCP::ErrorCause::NamedNumber cause) {
  if (ackState == 2) return;
  ackState = 2;
  LGCP::Response response;
  response.select_error() = cause;
  Reply(response);
}

unsigned Server::delayResponse() {
  ackState = 1;
  return seq;
}

void Server::delayedSuccess(unsigned slotNumber, unsigned token) {
  LGCP::Message msg;
  msg.set_seq(int(token));
  msg.set_slot(slotNumber);
  msg.get_pdu().select_response().select_success();
  SendMsg(msg);
}

void Server::SendSignal(const LGCP::Signal& sig) { SendSignal(slot, sig); }

void Server::SendSignal(unsigned slotNumber, const LGCP::Signal& sig) {
  LGCP::Message msg;
  if (slotNumber != NoSlot) msg.set_slot(slotNumber);
  msg.get_pdu().select_signal() = sig;
  SendMsg(msg);
}

void Server::AssignSeq(LGCP::Message& msg) const {
  if (hasSeq)
    msg.set_seq(int(seq));
  else
    msg.removeOptionalField(LGCP::Message::o_seq);
}

void Server::AssignSlot(LGCP::Message& msg) const {
  if (slot != NoSlot)
    msg.set_slot(slot);
  else
    msg.removeOptionalField(LGCP::Message::o_slot);
}

bool Server::CheckServerConnection(bool& connected) const {
  if (!conn) return false;
  connected = conn->state() == Control::Service::State::Connected;
  return true;
}

void Server::OnHeartbeatTimeout() {
  if (conn) conn->Disconnect();
}

void Server::SendMsg(LGCP::Message& msg) {
  std::vector<char> bytes;
  bytes.reserve(EncodeReserve);
  ASN1::CoderEnv env(ASN1::CoderEnv::per_Aligned);
  if (env.encode(msg, bytes) < 0) {
    std::cerr << ext::header(this) << "send fail: encode error!" << msg.asValueNotation() << std::endl;
    return;
  }
  if (!conn) {
    std::cerr << ext::header(this) << "send fail: Service not attached!" << std::endl;
    return;
  }
  // With no controller the transport logs the drop; once per disconnection.
  const Control::Service::State::Type state = conn->state();
  if (state == Control::Service::State::Idle || state == Control::Service::State::Connecting) {
    if (dropReported) return;
    dropReported = true;
  }
  conn->Send(bytes.data(), int(bytes.size()));
}

}  // namespace CtrlSrv
