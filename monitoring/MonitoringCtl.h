#pragma once
// The monitoring service: one process-wide control service, bound last, that
// owns the state store and the SNMP agent links. Three timers check the
// board: versions, configuration version, framers and temperature (after
// 1 s, then every 60 s); power supplies, DIP switches and network interfaces
// (every 2 s); the controller's state (every 5 s). Every change goes to the
// store and to the agents. Towards the controller it answers the display
// command, drives the framer LEDs, reports the power state with the power
// signal and follows the trunk-status signals of the E1 and BRI services.
// Diagnostics go to the log stream under the trace switch
// "monitoring.internal".

#include <string>

#include "asn1/modules/LGCP.h"
#include "foundation/config/IniFile.h"
#include "foundation/eventloop/Timer.h"
#include "monitoring/ISnmpAgentNotify.h"
#include "monitoring/MonitoringDataHolder.h"
#include "monitoring/MonitoringPublisher.h"
#include "monitoring/PanelDevice.h"
#include "monitoring/SnmpAgentCtrl.h"
#include "server/CtrlService.h"

class MonitoringCtl : public CtrlSrv::Service, public ISnmpAgentNotify {
public:
  static constexpr unsigned BackgroundFirstMs = 1000;
  static constexpr unsigned BackgroundPeriodMs = 60000;
  static constexpr unsigned PowerPeriodMs = 2000;
  static constexpr unsigned ControllerPeriodMs = 5000;

  // Built on the first call, at start-up; the timers run from then on.
  static MonitoringCtl& instance();

  // One agent link per subsection of section "snmpagent", each telling this
  // service when it connects. Once, at start-up.
  void Configure(IniFile::File& file);

  // The controller came: the power state (always sent) and its status.
  void OnConnect() override;
  // The controller left: its board files go, its status follows.
  void OnDisconnect() override;
  // Takes the display command only, answering success whatever it did.
  bool OnCommand(const LGCP::Command& cmd) override;
  // An E1 trunk's status updates its framer; a change republishes everything.
  void OnSignal(const LGCP::Signal& sig) override;
  // An agent connected: every item again, on the next loop pass.
  void OnSnmpAgentConnect(const std::string& name) override;

  void doVersionsCheck();
  void doConfigCheck();
  void doFramerCheck();
  void doTemperatureCheck();
  void doPowerCheck();
  void doDipCheck();
  void doNetIfCheck();
  void doControllerCheck();
  void sendPowerStatus();
  void OnDisplayCMD(const LGCP::DisplayParams& params);

  void onBkgCheckTimer(Timer*);
  void onPowerCheckTimer(Timer*);
  void onControllerCheckTimer(Timer*);

  MonitoringDataHolder& store() { return store_; }

private:
  MonitoringCtl();
  ~MonitoringCtl() override = default;

  PanelDevice panel_;
  MonitoringDataHolder store_;
  SnmpAgentCtrl agents_;
  MonitoringPublisher publisher_;
  Timer bkgTimer_;
  Timer powerTimer_;
  Timer controllerTimer_;
};
