#pragma once
// The feed of the SNMP agents: one link per configured agent, the table of
// monitored items, and the set commands pending for the agents. A value
// queued for an item goes, with a fresh uniq number, into the pending group
// of every agent kind in the item's mask; on the next loop pass each group
// that holds values leaves as snmp-set commands to every agent.

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "asn1/modules/MON.h"
#include "foundation/config/IniFile.h"
#include "foundation/eventloop/Dpc.h"
#include "monitoring/ISnmpAgentNotify.h"
#include "monitoring/SnmpAgentInstance.h"

class SnmpAgentCtrl {
public:
  // The monitored items, named after their columns.
  enum MonitoringItemType {
    driverBuild,
    softwareBuild,
    powerStatus,
    controllerStatus,
    gatewayDip,
    gatewayConfigVersion,
    extBoardStatus,
    extBoardSoftVer,
    extBoardType,
    emPhonePanelSoftVer,
    emPhoneCtrlSoftVer,
    emPhoneFpgaSoftVer,
    emPhoneStatus,
    emPhonePowerStatus,
    emPhoneMode,
    emPhoneHookStatus,
    emPhoneBaseStatus,
    routerTermCnt,
    controllerTermCnt,
    serverTermCnt,
    extBoardTermCnt,
    e1Connected,
    e1StatusDsc,
    e1SignalLoss,
    e1FrameAlignLoss,
    e1NegSlipCount,
    e1PosSlipCount,
    sgBuildVersion,
    sgFPGAVersion,
    sgBootVersion,
    sgBoardVersion,
    ifDescr,
    ifAdminStatus,
    ifOperStatus,
    temperature,
    MonitoringItems
  };

  struct MonitoringItem {
    MonitoringItemType type;
    // The agent kinds (SnmpAgentInstance::MonitoringAddressType bits) whose
    // pending group takes the item's values.
    int mask;
    const char* table;
    const char* column;
  };
  static const MonitoringItem items[MonitoringItems];

  SnmpAgentCtrl();
  ~SnmpAgentCtrl();
  SnmpAgentCtrl(const SnmpAgentCtrl&) = delete;
  SnmpAgentCtrl& operator=(const SnmpAgentCtrl&) = delete;

  // One agent per subsection of section "snmpagent", in file order; an
  // agent whose configuration is refused stays without a connection.
  void CreateInstances(IniFile::Section& section);
  // Every agent, and every agent created later, tells this user of its connections.
  void Bind(ISnmpAgentNotify* user);

  // Queues a value of an item (a table column's row by its index, a scalar
  // with index 0); an unknown item or a value that is no IA5 text queues
  // nothing.
  void Send(MonitoringItemType type, const std::string& value);
  void Send(MonitoringItemType type, int index, const std::string& value);
  // To every agent at once, the commands unchanged; nothing when empty.
  void Send(const MON::SnmpSetCommands& commands);
  // One snmp-trapsink-set to every agent; nothing when empty.
  void SendTrapsink(const std::list<std::string>& receivers);

  // The deferred send of the pending groups.
  void OnDpcSend();

  const std::vector<std::unique_ptr<SnmpAgentInstance>>& agents() const { return agents_; }

private:
  void SendToAll(const MON::Command& command);
  // As snmp-set commands of at most as many entries as a peer decodes.
  void SendSetCommands(const ASN1::SEQUENCE_OF<MON::SnmpSetCommand>& commands);

  std::vector<std::unique_ptr<SnmpAgentInstance>> agents_;
  Dpc send_;
  uint32_t uniq_ = 1;
  ISnmpAgentNotify* user_ = nullptr;
  // By agent-kind bit, walked in ascending order.
  std::map<int, MON::SnmpSetCommands> pending_;
};
