#pragma once
// One SNMP agent link: a TCP client to one agent process, carrying MON
// messages in aligned PER, one per TPKT frame. Every message sent re-arms a
// 5 s ping, so an idle link is pinged every 5 s; a send that finds the agent
// silent for more than 30 s closes the link after sending. The connector
// reconnects by itself, and the user hears of every connection.

#include <cstdint>
#include <memory>
#include <string>

#include "asn1/modules/MON.h"
#include "foundation/config/IniFile.h"
#include "foundation/config/IniReader.h"
#include "foundation/control/ConnectorNet.h"
#include "foundation/eventloop/Timer.h"
#include "foundation/os/INet4.h"
#include "monitoring/ISnmpAgentNotify.h"

class SnmpAgentInstance : public Control::Notify {
public:
  // The agent's kind, a bit value read from its name.
  enum MonitoringAddressType : int { lemzgw = 1, kelo = 2, lemzgw_qv = 4 };

  static constexpr unsigned PingMs = 5000;
  static constexpr int32_t SilenceMs = 30000;

  SnmpAgentInstance() = default;
  ~SnmpAgentInstance() override;
  SnmpAgentInstance(const SnmpAgentInstance&) = delete;
  SnmpAgentInstance& operator=(const SnmpAgentInstance&) = delete;

  // Reads "host" and "name" and starts connecting; false, with the reason on
  // standard error (none for a host without a port), leaves the agent
  // without a connection.
  bool Activate(IniFile::SubSection& config);
  void SetUser(ISnmpAgentNotify* user) { user_ = user; }

  // Sends when connected; dropped silently otherwise.
  void Command(const MON::Command& command);
  void Send(const MON::Message& message);

  void OnConnect() override;
  void OnDisconnect() override;
  void OnMessage(const char* data, int length) override;
  void OnPingTimer(Timer*);

  const std::string& name() const { return name_; }
  MonitoringAddressType addressType() const { return addressType_; }
  // Null while the agent has no connection.
  const Control::ConnectorNet* connection() const { return connection_.get(); }

private:
  std::unique_ptr<Control::ConnectorNet> connection_;
  MonitoringAddressType addressType_ = lemzgw;
  std::string name_;
  // The connection's service name once activated; it starts every log line.
  std::string prefix_;
  INet4::Addr address_;
  // Loop milliseconds of the last message received.
  uint32_t lastReceived_ = 0;
  Timer ping_;
  ISnmpAgentNotify* user_ = nullptr;
};

// "lemzgw", "lemzgw.qv" and "kelo"; any other name must be a number.
extern const IniFile::Symbol<SnmpAgentInstance::MonitoringAddressType> monitoringAddressTypes[];
