#pragma once
// Publishes the monitored values to the SNMP agents: each routine turns
// values of the store (or one record) into text and queues them as items on
// the agent links, a table column with its row index. The full refresh
// sends every item, the trap receivers and the kept set commands; asked for
// any number of times within one loop pass (agents connecting, framers
// changing) it runs once, on the next pass.

#include "asn1/modules/LGCP.h"
#include "asn1/modules/MON.h"
#include "foundation/eventloop/Dpc.h"
#include "monitoring/MonitoringDataHolder.h"
#include "monitoring/SnmpAgentCtrl.h"

class MonitoringPublisher {
public:
  MonitoringPublisher(const MonitoringDataHolder& store, SnmpAgentCtrl& agents);
  MonitoringPublisher(const MonitoringPublisher&) = delete;
  MonitoringPublisher& operator=(const MonitoringPublisher&) = delete;

  // The full refresh, on the next loop pass.
  void RequestRefresh();
  // The full refresh itself (the deferred call).
  void OnDpcSend();

  // The voice firmware's version line, when "/proc/voice/version" has one.
  void sendSnmpDriverBuild();
  void sendSnmpSoftwareBuild();
  void sendSnmpPowerStatus();
  void sendSnmpControllerStatus();
  void sendSnmpGatewayDip();
  void sendSnmpGatewayConfigVersion();
  void sendSnmpBoardStatus(const LGCP::BoardStatusParams& board);
  void sendSnmpBoardStatuses();
  void sendSnmpEmPhoneStatus(const LGCP::EmPhoneStatusParams& phone);
  void sendSnmpEmPhoneStatuses();
  void sendSnmpRouterTermCnt();
  void sendSnmpControllerTermCnt();
  void sendSnmpServerTermCnt();
  void sendSnmpBoardTermCnt();
  void sendSnmpFramerStatus(const FramerDataHolder& framer);
  void sendSnmpFramerStatus();
  void sendSnmpNetIfStatus(const NetIfDataHolder& netIf);
  void sendSnmpNetIfStatus();
  void sendSnmpStatusBuildVersion();
  void sendSnmpStatusFPGAVersion();
  void sendSnmpStatusBootVersion();
  void sendSnmpStatusBoardVersion();
  void sendSnmpTemperature();
  void sendSnmpTrapReceivers();
  // The kept set commands, or the given ones.
  void sendSnmpCommands();
  void sendSnmpCommands(const MON::SnmpSetCommands& commands);

private:
  void sendTermCounters(int owner, SnmpAgentCtrl::MonitoringItemType item);

  const MonitoringDataHolder& store_;
  SnmpAgentCtrl& agents_;
  Dpc refresh_;
};

// The voice firmware's version line as published: "B [C D]" from a line
// "A B C D ...", "B [C]" from "A B C", "none" from fewer words.
std::string driverBuildText(const std::string& line);
