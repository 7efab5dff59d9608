#include "monitoring/SnmpAgentCtrl.h"

#include <algorithm>
#include <iostream>

#include "asn1/Types.h"

namespace {

// The pending groups: one per agent kind that takes items.
constexpr int Groups[] = {SnmpAgentInstance::kelo, SnmpAgentInstance::lemzgw_qv};
constexpr int Both = SnmpAgentInstance::kelo | SnmpAgentInstance::lemzgw_qv;
constexpr int Kelo = SnmpAgentInstance::kelo;
constexpr int Qv = SnmpAgentInstance::lemzgw_qv;

}  // namespace

const SnmpAgentCtrl::MonitoringItem SnmpAgentCtrl::items[MonitoringItems] = {
    {driverBuild, Both, "gatewayCommon", "driverBuild"},
    {softwareBuild, Both, "gatewayCommon", "softwareBuild"},
    {powerStatus, Both, "gatewayCommon", "powerStatus"},
    {controllerStatus, Both, "gatewayCommon", "controllerStatus"},
    {gatewayDip, Both, "gatewayCommon", "gatewayDip"},
    {gatewayConfigVersion, Both, "gatewayCommon", "gatewayConfigVersion"},
    {extBoardStatus, Kelo, "extBoardTable", "extBoardStatus"},
    {extBoardSoftVer, Kelo, "extBoardTable", "extBoardSoftVer"},
    {extBoardType, Kelo, "extBoardTable", "extBoardType"},
    {emPhonePanelSoftVer, Kelo, "emPhoneTable", "emPhonePanelSoftVer"},
    {emPhoneCtrlSoftVer, Kelo, "emPhoneTable", "emPhoneCtrlSoftVer"},
    {emPhoneFpgaSoftVer, Kelo, "emPhoneTable", "emPhoneFpgaSoftVer"},
    {emPhoneStatus, Kelo, "emPhoneTable", "emPhoneStatus"},
    {emPhonePowerStatus, Kelo, "emPhoneTable", "emPhonePowerStatus"},
    {emPhoneMode, Kelo, "emPhoneTable", "emPhoneMode"},
    {emPhoneHookStatus, Kelo, "emPhoneTable", "emPhoneHookStatus"},
    {emPhoneBaseStatus, Kelo, "emPhoneTable", "emPhoneBaseStatus"},
    {routerTermCnt, Both, "gatewayTermCounters", "routerTermCnt"},
    {controllerTermCnt, Both, "gatewayTermCounters", "controllerTermCnt"},
    {serverTermCnt, Both, "gatewayTermCounters", "serverTermCnt"},
    {extBoardTermCnt, Kelo, "extBoardTermCntTable", "extBoardTermCnt"},
    {e1Connected, Kelo, "e1Table", "e1Connected"},
    {e1StatusDsc, Kelo, "e1Table", "e1StatusDsc"},
    {e1SignalLoss, Kelo, "e1Table", "e1SignalLoss"},
    {e1FrameAlignLoss, Kelo, "e1Table", "e1FrameAlignLoss"},
    {e1NegSlipCount, Kelo, "e1Table", "e1NegSlipCount"},
    {e1PosSlipCount, Kelo, "e1Table", "e1PosSlipCount"},
    {sgBuildVersion, Qv, "statusGeneral", "sgBuildVersion"},
    {sgFPGAVersion, Qv, "statusGeneral", "sgFPGAVersion"},
    {sgBootVersion, Qv, "statusGeneral", "sgBootVersion"},
    {sgBoardVersion, Qv, "statusGeneral", "sgBoardVersion"},
    {ifDescr, Both, "ifTable", "ifDescr"},
    {ifAdminStatus, Both, "ifTable", "ifAdminStatus"},
    {ifOperStatus, Both, "ifTable", "ifOperStatus"},
    {temperature, Kelo, "gatewayCommon", "temperature"},
};

SnmpAgentCtrl::SnmpAgentCtrl() {
  for (int group : Groups) pending_[group];
  send_.Bind(this, &SnmpAgentCtrl::OnDpcSend);
}

SnmpAgentCtrl::~SnmpAgentCtrl() = default;

void SnmpAgentCtrl::CreateInstances(IniFile::Section& section) {
  for (IniFile::SubSection& config : section) {
    agents_.push_back(std::make_unique<SnmpAgentInstance>());
    agents_.back()->SetUser(user_);
    agents_.back()->Activate(config);
  }
}

void SnmpAgentCtrl::Bind(ISnmpAgentNotify* user) {
  user_ = user;
  for (auto& agent : agents_) agent->SetUser(user);
}

void SnmpAgentCtrl::Send(MonitoringItemType type, const std::string& value) { Send(type, 0, value); }

void SnmpAgentCtrl::Send(MonitoringItemType type, int index, const std::string& value) {
  if (type < 0 || type >= MonitoringItems) return;
  const MonitoringItem& item = items[type];
  // One such byte would make the whole group's command unencodable.
  if (std::any_of(value.begin(), value.end(), [](char c) { return static_cast<unsigned char>(c) > 0x7F; })) {
    std::cerr << "snmpagent: " << item.table << '.' << item.column << '[' << index
              << "] value is not IA5 text, not sent" << std::endl;
    return;
  }
  for (auto& [group, commands] : pending_) {
    if (!(group & item.mask)) continue;
    MON::SnmpSetCommand command;
    command.set_uniq(int(uniq_++));
    MON::IniName& id = command.get_id().select_name();
    id.set_section(item.table);
    id.set_name(item.column);
    id.set_index(index);
    command.set_value(value);
    commands.get_commands().push_back(command);
    send_.Activate();
  }
}

void SnmpAgentCtrl::Send(const MON::SnmpSetCommands& commands) { SendSetCommands(commands.get_commands()); }

void SnmpAgentCtrl::SendTrapsink(const std::list<std::string>& receivers) {
  if (receivers.empty()) return;
  MON::Command command;
  auto& sinks = command.select_snmp_trapsink_set().get_trapsinks();
  for (const std::string& receiver : receivers) {
    MON::SnmpTrapsink sink;
    sink.set_host(receiver);
    sinks.push_back(sink);
  }
  SendToAll(command);
}

void SnmpAgentCtrl::OnDpcSend() {
  // An agent that is not connected drops its share; the refresh on its next
  // connection brings it up to date.
  for (auto& entry : pending_) {
    auto& commands = entry.second.get_commands();
    SendSetCommands(commands);
    commands.clear();
  }
  send_.Deactivate();
}

void SnmpAgentCtrl::SendSetCommands(const ASN1::SEQUENCE_OF<MON::SnmpSetCommand>& commands) {
  // A peer decodes at most MaximumArraySize entries of a list.
  for (unsigned first = 0; first < commands.size(); first += ASN1::MaximumArraySize) {
    MON::Command command;
    auto& part = command.select_snmp_set().get_commands();
    const unsigned last = std::min(commands.size(), first + ASN1::MaximumArraySize);
    for (unsigned i = first; i < last; ++i) part.push_back(commands[i]);
    SendToAll(command);
  }
}

void SnmpAgentCtrl::SendToAll(const MON::Command& command) {
  for (auto& agent : agents_) agent->Command(command);
}
