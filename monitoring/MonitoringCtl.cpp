#include "monitoring/MonitoringCtl.h"

#include <arpa/inet.h>

#include <cstring>
#include <iostream>

#include "board/Paths.h"
#include "foundation/config/TraceCtl.h"
#include "foundation/os/Proc.h"
#include "monitoring/BoardFiles.h"

namespace {

namespace Paths = Board::Paths;

struct VersionFile {
  const char* path;
  const char* label;
  bool (MonitoringDataHolder::*set)(std::string);
  void (MonitoringPublisher::*publish)();
};

const VersionFile versionFiles[] = {
    {Paths::BuildVersion, "BuildVersion - ", &MonitoringDataHolder::setBuildVersion,
     &MonitoringPublisher::sendSnmpStatusBuildVersion},
    {Paths::BootVersion, "BootVersion - ", &MonitoringDataHolder::setBootVersion,
     &MonitoringPublisher::sendSnmpStatusBootVersion},
    {Paths::FpgaVersion, "FPGAVersion - ", &MonitoringDataHolder::setFPGAVersion,
     &MonitoringPublisher::sendSnmpStatusFPGAVersion},
    {Paths::BoardVersion, "BoardVersion - ", &MonitoringDataHolder::setBoardVersion,
     &MonitoringPublisher::sendSnmpStatusBoardVersion},
};

constexpr const char* ControllerProcess = "controller";

// The raw power-supply byte: 0 both supplies, 1..3 as they are, else unknown.
LGCP::POWERStatus powerStatus(uint8_t raw) {
  LGCP::POWERStatus status;
  status = raw == 0 ? LGCP::POWERStatus::both : raw <= LGCP::POWERStatus::both ? int(raw) : LGCP::POWERStatus::unknown;
  return status;
}

}  // namespace

MonitoringCtl& MonitoringCtl::instance() {
  static MonitoringCtl monitoring;
  return monitoring;
}

MonitoringCtl::MonitoringCtl() : publisher_(store_, agents_) {
  bkgTimer_.set(BackgroundFirstMs, &MonitoringCtl::onBkgCheckTimer, this);
  powerTimer_.set(PowerPeriodMs, &MonitoringCtl::onPowerCheckTimer, this);
  controllerTimer_.set(ControllerPeriodMs, &MonitoringCtl::onControllerCheckTimer, this);
}

void MonitoringCtl::Configure(IniFile::File& file) {
  agents_.CreateInstances(file["snmpagent"]);
  agents_.Bind(this);
}

void MonitoringCtl::onBkgCheckTimer(Timer*) {
  doVersionsCheck();
  doConfigCheck();
  doFramerCheck();
  doTemperatureCheck();
  bkgTimer_.set(BackgroundPeriodMs, &MonitoringCtl::onBkgCheckTimer, this);
}

void MonitoringCtl::onPowerCheckTimer(Timer*) {
  doPowerCheck();
  doDipCheck();
  doNetIfCheck();
  powerTimer_.set(PowerPeriodMs, &MonitoringCtl::onPowerCheckTimer, this);
}

void MonitoringCtl::onControllerCheckTimer(Timer*) {
  doControllerCheck();
  controllerTimer_.set(ControllerPeriodMs, &MonitoringCtl::onControllerCheckTimer, this);
}

void MonitoringCtl::doVersionsCheck() {
  for (const VersionFile& version : versionFiles) {
    std::string text;
    if (!BoardFiles::readFirstLine(Paths::path(version.path), text)) continue;
    if (traces.monitoring_internal) std::clog << version.label << text << std::endl;
    if ((store_.*version.set)(text)) (publisher_.*version.publish)();
  }
}

void MonitoringCtl::doConfigCheck() {
  uint32_t first;
  uint64_t second;
  if (!BoardFiles::readConfigVersion(Paths::path(Paths::ConfigDir), first, second)) return;
  if (store_.setConfigVersion(first, second)) publisher_.sendSnmpGatewayConfigVersion();
}

void MonitoringCtl::doFramerCheck() {
  std::vector<unsigned char> text;
  for (FramerDataHolder& framer : store_.framers) {
    bool opened;
    if (!BoardFiles::readStatusFile(framer.path, text, opened)) {
      if (traces.monitoring_internal)
        std::clog << (opened ? "Error read file: \"" : "Error open file: \"") << framer.path << "\" errno=\""
                  << std::strerror(errno) << '"' << std::endl;
      continue;
    }
    if (framer.setFramerStatus(text)) publisher_.sendSnmpFramerStatus(framer);
  }
}

void MonitoringCtl::doTemperatureCheck() {
  std::string text;
  if (!BoardFiles::readFirstLine(Paths::path(Paths::Temperature), text)) return;
  if (traces.monitoring_internal) std::clog << "Temperature - " << text << std::endl;
  if (store_.setTemperature(BoardFiles::firstWord(text))) publisher_.sendSnmpTemperature();
}

void MonitoringCtl::doDipCheck() {
  uint8_t dip;
  if (!panel_.readDip(dip) || !store_.setDipValue(dip)) return;
  if (traces.monitoring_internal) std::clog << "New dip - " << char(dip) << std::endl;
  publisher_.sendSnmpGatewayDip();
}

void MonitoringCtl::doPowerCheck() {
  uint8_t raw;
  if (!panel_.readPower(raw) || !store_.setPowerStatus(powerStatus(raw))) return;
  if (traces.monitoring_internal) std::clog << "New power status - " << store_.boardPowerStatus << std::endl;
  sendPowerStatus();
  publisher_.sendSnmpPowerStatus();
}

void MonitoringCtl::doNetIfCheck() {
  for (NetIfDataHolder& netIf : store_.netIfs)
    if (netIf.updateNetIf()) publisher_.sendSnmpNetIfStatus(netIf);
}

void MonitoringCtl::doControllerCheck() {
  LGCP::ControllerInfo info;
  info.get_host().set_iaddr(inet_ntoa(store_.ownAddress.address()));
  info.get_host().set_port(0);
  bool connected = false;
  if (CheckServerConnection(connected) && connected) {
    info.get_status() = store_.controllerStatus;
  } else {
    store_.controllerPid = find_proc_by_name(ControllerProcess, store_.controllerPid);
    info.get_status() = store_.controllerPid < 1 ? HSP::ControllerStatus::notrun : HSP::ControllerStatus::notconnection;
  }
  if (store_.setControllerStatus(info)) publisher_.sendSnmpControllerStatus();
}

void MonitoringCtl::sendPowerStatus() {
  LGCP::Signal sig;
  sig.select_power() = store_.boardPowerStatus;
  SendSignal(sig);
}

void MonitoringCtl::OnConnect() {
  doPowerCheck();
  sendPowerStatus();
  doControllerCheck();
}

void MonitoringCtl::OnDisconnect() {
  store_.ClearControllerFiles();
  doControllerCheck();
}

bool MonitoringCtl::OnCommand(const LGCP::Command& cmd) {
  if (cmd.currentSelection() != LGCP::Command::e_display) return false;
  OnDisplayCMD(cmd.get_display());
  Success();
  return true;
}

void MonitoringCtl::OnDisplayCMD(const LGCP::DisplayParams& params) {
  store_.setDisplayStatus(params);
  switch (params.currentSelection()) {
    case LGCP::DisplayParams::e_board:
      if (params.get_board().currentSelection() == LGCP::BoardInfo::e_boardStatus)
        publisher_.sendSnmpBoardStatus(params.get_board().get_boardStatus());
      break;
    case LGCP::DisplayParams::e_snmpTrapReceivers: publisher_.sendSnmpTrapReceivers(); break;
    case LGCP::DisplayParams::e_framer: panel_.setFramerLed(params.get_framer()); break;
    case LGCP::DisplayParams::e_emPhone:
      if (params.get_emPhone().currentSelection() == LGCP::EmPhoneInfo::e_phoneStatus)
        publisher_.sendSnmpEmPhoneStatus(params.get_emPhone().get_phoneStatus());
      break;
    case LGCP::DisplayParams::e_controller: publisher_.sendSnmpControllerStatus(); break;
    case LGCP::DisplayParams::e_termCounter:
      publisher_.sendSnmpRouterTermCnt();
      publisher_.sendSnmpControllerTermCnt();
      publisher_.sendSnmpServerTermCnt();
      publisher_.sendSnmpBoardTermCnt();
      break;
    case LGCP::DisplayParams::e_snmp_set: publisher_.sendSnmpCommands(params.get_snmp_set()); break;
    default: break;
  }
}

void MonitoringCtl::OnSignal(const LGCP::Signal& sig) {
  if (sig.currentSelection() != LGCP::Signal::e_trunkStatus) return;
  const ACP::TrunkStatus& status = sig.get_trunkStatus();
  // A BRI line shares its numbers with the E1 trunks but is no framer.
  if (status.get_type().getValue() != ACP::TrunkType::e1) return;
  bool changed = false;
  for (FramerDataHolder& framer : store_.framers)
    if (framer.number - 1 == status.get_trunk().getValue()) changed |= framer.setFramerStatus(status.get_state());
  if (changed) publisher_.RequestRefresh();
}

void MonitoringCtl::OnSnmpAgentConnect(const std::string&) { publisher_.RequestRefresh(); }
