#pragma once
// Told by the SNMP agent links each time an agent's connection comes up, so
// its user can bring the agent up to date.

#include <string>

class ISnmpAgentNotify {
public:
  virtual ~ISnmpAgentNotify() = default;
  virtual void OnSnmpAgentConnect(const std::string& /*name*/) {}
};
