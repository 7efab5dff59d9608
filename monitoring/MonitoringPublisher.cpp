#include "monitoring/MonitoringPublisher.h"

#include <cstdio>
#include <vector>

#include "board/Paths.h"
#include "foundation/os/Version.h"

namespace {

// The text forms of the published values: numbers taken as unsigned 32-bit
// (a kept -1 is 4294967295), signed numbers, and texts unchanged.
std::string unsignedText(int value) { return std::to_string(unsigned(value)); }
std::string signedText(int value) { return std::to_string(value); }
std::string octetText(const ASN1::OCTET_STRING& octets) { return std::string(octets); }

constexpr const char* Blanks = " \t\n\r\f\v";
// The voice driver's version line goes through a zeroed 128-byte buffer with
// a limit of 127: at most 126 characters of it are read.
constexpr size_t VersionBuffer = 128;

}  // namespace

std::string driverBuildText(const std::string& line) {
  // Words are separated by runs of spaces; a word is then trimmed of every
  // kind of blank and kept even when that empties it (a final line end).
  std::vector<std::string> words;
  for (auto at = line.find_first_not_of(' '); at != std::string::npos; at = line.find_first_not_of(' ', at)) {
    const auto end = line.find(' ', at);
    std::string word = line.substr(at, end - at);
    const auto first = word.find_first_not_of(Blanks);
    word = first == std::string::npos ? std::string() : word.substr(first, word.find_last_not_of(Blanks) - first + 1);
    words.push_back(word);
    at = end;
  }
  if (words.size() >= 4) return words[1] + " [" + words[2] + " " + words[3] + "]";
  if (words.size() == 3) return words[1] + " [" + words[2] + "]";
  return "none";
}

MonitoringPublisher::MonitoringPublisher(const MonitoringDataHolder& store, SnmpAgentCtrl& agents)
    : store_(store), agents_(agents) {
  refresh_.Bind(this, &MonitoringPublisher::OnDpcSend);
}

void MonitoringPublisher::RequestRefresh() { refresh_.Activate(); }

void MonitoringPublisher::OnDpcSend() {
  sendSnmpTrapReceivers();
  sendSnmpDriverBuild();
  sendSnmpSoftwareBuild();
  sendSnmpPowerStatus();
  sendSnmpControllerStatus();
  sendSnmpGatewayDip();
  sendSnmpGatewayConfigVersion();
  sendSnmpTemperature();
  sendSnmpStatusBuildVersion();
  sendSnmpStatusFPGAVersion();
  sendSnmpStatusBootVersion();
  sendSnmpStatusBoardVersion();
  sendSnmpBoardStatuses();
  // The phone rows go twice, as the agents have always been sent them.
  sendSnmpEmPhoneStatuses();
  sendSnmpEmPhoneStatuses();
  sendSnmpRouterTermCnt();
  sendSnmpControllerTermCnt();
  sendSnmpServerTermCnt();
  sendSnmpBoardTermCnt();
  sendSnmpFramerStatus();
  sendSnmpNetIfStatus();
  sendSnmpCommands();
  refresh_.Deactivate();
}

void MonitoringPublisher::sendSnmpDriverBuild() {
  FILE* file = std::fopen(Board::Paths::path(Board::Paths::VoiceVersion).c_str(), "r");
  if (!file) return;
  char line[VersionBuffer] = {};
  const bool read = std::fgets(line, int(VersionBuffer - 1), file) != nullptr;
  std::fclose(file);
  if (read) agents_.Send(SnmpAgentCtrl::driverBuild, driverBuildText(line));
}

void MonitoringPublisher::sendSnmpSoftwareBuild() { agents_.Send(SnmpAgentCtrl::softwareBuild, Version::current.tag); }

void MonitoringPublisher::sendSnmpPowerStatus() {
  agents_.Send(SnmpAgentCtrl::powerStatus, unsignedText(store_.boardPowerStatus.getValue()));
}

void MonitoringPublisher::sendSnmpControllerStatus() {
  agents_.Send(SnmpAgentCtrl::controllerStatus, unsignedText(store_.controllerStatus.getValue()));
}

void MonitoringPublisher::sendSnmpGatewayDip() {
  agents_.Send(SnmpAgentCtrl::gatewayDip, unsignedText(store_.dipValue));
}

void MonitoringPublisher::sendSnmpGatewayConfigVersion() {
  agents_.Send(SnmpAgentCtrl::gatewayConfigVersion, std::to_string(store_.configVersionShort));
}

void MonitoringPublisher::sendSnmpBoardStatus(const LGCP::BoardStatusParams& board) {
  const int row = board.get_position().getValue();
  agents_.Send(SnmpAgentCtrl::extBoardStatus, row, signedText(board.get_status().getValue()));
  agents_.Send(SnmpAgentCtrl::extBoardSoftVer, row, octetText(board.get_version()));
  agents_.Send(SnmpAgentCtrl::extBoardType, row, signedText(board.get_type().getValue()));
}

void MonitoringPublisher::sendSnmpBoardStatuses() {
  for (const LGCP::BoardStatusParams& board : store_.boards) sendSnmpBoardStatus(board);
}

void MonitoringPublisher::sendSnmpEmPhoneStatus(const LGCP::EmPhoneStatusParams& phone) {
  const int row = phone.get_id().getValue() + 1;
  agents_.Send(SnmpAgentCtrl::emPhonePanelSoftVer, row, octetText(phone.get_panelSV()));
  agents_.Send(SnmpAgentCtrl::emPhoneCtrlSoftVer, row, octetText(phone.get_ctrlSV()));
  agents_.Send(SnmpAgentCtrl::emPhoneFpgaSoftVer, row, octetText(phone.get_fpgaSV()));
  agents_.Send(SnmpAgentCtrl::emPhoneStatus, row, signedText(phone.get_status().getValue()));
  agents_.Send(SnmpAgentCtrl::emPhonePowerStatus, row, signedText(phone.get_powerStatus().getValue()));
  agents_.Send(SnmpAgentCtrl::emPhoneMode, row, signedText(phone.get_mode().getValue()));
  agents_.Send(SnmpAgentCtrl::emPhoneHookStatus, row, signedText(phone.get_hookStatus().getValue()));
  agents_.Send(SnmpAgentCtrl::emPhoneBaseStatus, row, signedText(phone.get_baseStatus().getValue()));
}

void MonitoringPublisher::sendSnmpEmPhoneStatuses() {
  for (const LGCP::EmPhoneStatusParams& phone : store_.emPhones) sendSnmpEmPhoneStatus(phone);
}

void MonitoringPublisher::sendTermCounters(int owner, SnmpAgentCtrl::MonitoringItemType item) {
  for (const LGCP::TermCounter& counter : store_.termCounters)
    if (counter.get_owner().getValue() == owner) agents_.Send(item, unsignedText(counter.get_cnt().getValue()));
}

void MonitoringPublisher::sendSnmpRouterTermCnt() {
  sendTermCounters(LGCP::TermCounterOwner::router, SnmpAgentCtrl::routerTermCnt);
}

void MonitoringPublisher::sendSnmpControllerTermCnt() {
  sendTermCounters(LGCP::TermCounterOwner::controller, SnmpAgentCtrl::controllerTermCnt);
}

void MonitoringPublisher::sendSnmpServerTermCnt() {
  sendTermCounters(LGCP::TermCounterOwner::server, SnmpAgentCtrl::serverTermCnt);
}

void MonitoringPublisher::sendSnmpBoardTermCnt() {
  for (const LGCP::TermCounter& counter : store_.termCounters) {
    if (counter.get_owner().getValue() != LGCP::TermCounterOwner::extBoard ||
        !counter.hasOptionalField(LGCP::TermCounter::o_ownerId))
      continue;
    agents_.Send(SnmpAgentCtrl::extBoardTermCnt, counter.get_ownerId().getValue(),
                 unsignedText(counter.get_cnt().getValue()));
  }
}

void MonitoringPublisher::sendSnmpFramerStatus(const FramerDataHolder& framer) {
  const int row = framer.number;
  agents_.Send(SnmpAgentCtrl::e1Connected, row, signedText(framer.connected));
  agents_.Send(SnmpAgentCtrl::e1StatusDsc, row, framer.status);
  agents_.Send(SnmpAgentCtrl::e1SignalLoss, row, signedText(framer.signalLoss));
  agents_.Send(SnmpAgentCtrl::e1FrameAlignLoss, row, signedText(framer.frameAlignLoss));
  agents_.Send(SnmpAgentCtrl::e1NegSlipCount, row, signedText(framer.negSlips));
  agents_.Send(SnmpAgentCtrl::e1PosSlipCount, row, signedText(framer.posSlips));
}

void MonitoringPublisher::sendSnmpFramerStatus() {
  for (const FramerDataHolder& framer : store_.framers) sendSnmpFramerStatus(framer);
}

void MonitoringPublisher::sendSnmpNetIfStatus(const NetIfDataHolder& netIf) {
  agents_.Send(SnmpAgentCtrl::ifOperStatus, netIf.index, signedText(netIf.operStatus));
  agents_.Send(SnmpAgentCtrl::ifAdminStatus, netIf.index, signedText(netIf.adminStatus));
  agents_.Send(SnmpAgentCtrl::ifDescr, netIf.index, netIf.name);
}

void MonitoringPublisher::sendSnmpNetIfStatus() {
  for (const NetIfDataHolder& netIf : store_.netIfs) sendSnmpNetIfStatus(netIf);
}

void MonitoringPublisher::sendSnmpStatusBuildVersion() {
  agents_.Send(SnmpAgentCtrl::sgBuildVersion, store_.buildVersion);
}

void MonitoringPublisher::sendSnmpStatusFPGAVersion() {
  agents_.Send(SnmpAgentCtrl::sgFPGAVersion, store_.fpgaVersion);
}

void MonitoringPublisher::sendSnmpStatusBootVersion() {
  agents_.Send(SnmpAgentCtrl::sgBootVersion, store_.bootVersion);
}

void MonitoringPublisher::sendSnmpStatusBoardVersion() {
  agents_.Send(SnmpAgentCtrl::sgBoardVersion, store_.boardVersion);
}

void MonitoringPublisher::sendSnmpTemperature() { agents_.Send(SnmpAgentCtrl::temperature, store_.temperature); }

void MonitoringPublisher::sendSnmpTrapReceivers() { agents_.SendTrapsink(store_.trapReceivers); }

void MonitoringPublisher::sendSnmpCommands() { agents_.Send(store_.snmpCommands); }

void MonitoringPublisher::sendSnmpCommands(const MON::SnmpSetCommands& commands) { agents_.Send(commands); }
