#pragma once
// What an SNMP agent was sent, as readable text: one line per message, a set
// command's entries one per line below it. The agent link tests and the
// service tests share it.

#include <sstream>
#include <string>

#include "asn1/CoderEnv.h"
#include "asn1/modules/MON.h"

namespace Testing {

inline std::string monSummary(const std::string& payload) {
  MON::Message message;
  if (!ASN1::CoderEnv(ASN1::CoderEnv::per_Aligned).decode(payload.data(), payload.data() + payload.size(), message) ||
      message.get_pdu().currentSelection() != MON::PDU::e_command)
    return "not a command";
  const MON::Command& command = message.get_pdu().get_command();
  std::ostringstream out;
  if (command.currentSelection() == MON::Command::e_ping) return "ping";
  if (command.currentSelection() == MON::Command::e_snmp_trapsink_set) {
    out << "trapsinks";
    for (const auto& sink : command.get_snmp_trapsink_set().get_trapsinks()) out << ' ' << sink.get_host().getValue();
    return out.str();
  }
  out << "set";
  for (const auto& set : command.get_snmp_set().get_commands()) {
    const MON::SnmpSetCommandId& id = set.get_id();
    out << "\n  " << set.get_uniq().getValue() << ' ';
    if (id.currentSelection() == MON::SnmpSetCommandId::e_oid)
      out << id.get_oid().getValue();
    else
      out << id.get_name().get_section().getValue() << '.' << id.get_name().get_name().getValue() << '['
          << id.get_name().get_index().getValue() << ']';
    out << " = \"" << set.get_value().getValue() << '"';
  }
  return out.str();
}

}  // namespace Testing
