#include "monitoring/SnmpAgentInstance.h"

#include <arpa/inet.h>

#include <cstdlib>
#include <iostream>
#include <vector>

#include "asn1/CoderEnv.h"
#include "foundation/eventloop/Clock.h"

const IniFile::Symbol<SnmpAgentInstance::MonitoringAddressType> monitoringAddressTypes[] = {
    {"lemzgw", SnmpAgentInstance::lemzgw},
    {"lemzgw.qv", SnmpAgentInstance::lemzgw_qv},
    {"kelo", SnmpAgentInstance::kelo},
    {nullptr, SnmpAgentInstance::lemzgw},
};

namespace {

constexpr const char* ConfigPrefix = "snmpagent: ";

// A decimal port 1..65535 with nothing after it.
bool parsePort(const std::string& text, unsigned short& port) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 5) return false;
  const unsigned long number = std::strtoul(text.c_str(), nullptr, 10);
  if (number == 0 || number > 65535) return false;
  port = static_cast<unsigned short>(number);
  return true;
}

}  // namespace

SnmpAgentInstance::~SnmpAgentInstance() = default;

bool SnmpAgentInstance::Activate(IniFile::SubSection& config) {
  std::string host;
  IniFile::Reader reader(ConfigPrefix, std::cerr);
  reader.required().add(&host, "host");
  reader.required().add(&name_, "name");
  reader.required().add(&addressType_, "name", monitoringAddressTypes);
  if (!reader.parse(config)) return false;

  // A host without a port has always meant an agent that is not used.
  const std::string::size_type colon = host.find(':');
  if (colon == std::string::npos) return false;
  unsigned short port = 0;
  if (!address_.Assign(host.substr(0, colon), nullptr) || !parsePort(host.substr(colon + 1), port)) {
    std::cerr << ConfigPrefix << "required key \"host\" has invalid value=\"" << host << "\", line "
              << config["host"].first()->line() << std::endl;
    return false;
  }
  address_.set_port(port);

  connection_ = std::make_unique<Control::ConnectorNet>(inet_ntoa(address_.address()), port);
  prefix_ = "snmpagent." + name_ + " " + address_.GetString();
  connection_->service_name(prefix_);
  connection_->Bind(this);
  connection_->Activate();
  return true;
}

void SnmpAgentInstance::Command(const MON::Command& command) {
  MON::Message message;
  message.get_pdu().select_command() = command;
  Send(message);
}

void SnmpAgentInstance::Send(const MON::Message& message) {
  if (!connection_ || connection_->state() != Control::Service::State::Connected) return;
  std::vector<char> octets;
  if (ASN1::CoderEnv(ASN1::CoderEnv::per_Aligned).encode(message, octets) <= 0) {
    std::clog << prefix_ << ": encode MON message fail!!!" << std::endl;
    return;
  }
  connection_->Send(octets.data(), int(octets.size()));
  ping_.set(PingMs, &SnmpAgentInstance::OnPingTimer, this);

  // Silence is noticed when sending, at the latest on the next ping.
  const uint32_t now = Mux::milliseconds();
  if (int32_t(now - lastReceived_) > SilenceMs) {
    std::clog << prefix_ << ": ping timeout !!! now=" << now << " stamp=" << lastReceived_ << std::endl;
    connection_->Disconnect();
  }
}

void SnmpAgentInstance::OnPingTimer(Timer*) {
  MON::Command ping;
  ping.select_ping();
  Command(ping);
}

void SnmpAgentInstance::OnConnect() {
  std::clog << prefix_ << ": connected." << std::endl;
  lastReceived_ = Mux::milliseconds();
  if (user_) user_->OnSnmpAgentConnect(name_);
}

void SnmpAgentInstance::OnDisconnect() {
  std::clog << prefix_ << ": connection lost, reset snmpagent instance" << std::endl;
  ping_.reset();
}

void SnmpAgentInstance::OnMessage(const char* data, int length) {
  // Any frame is a sign of life, even one that does not decode.
  lastReceived_ = Mux::milliseconds();
  MON::Message message;
  if (!ASN1::CoderEnv(ASN1::CoderEnv::per_Aligned).decode(data, data + length, message)) {
    std::cerr << prefix_ << ": receive : decode error!" << std::endl;
    return;
  }
  switch (message.get_pdu().currentSelection()) {
    case MON::PDU::e_response:
    case MON::PDU::e_signal:
      // The agents' answers and reports carry nothing the link acts on.
      return;
    default: std::cerr << prefix_ << ": receive unknown message type" << std::endl;
  }
}
