#include "monitoring/MonitoringDataHolder.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <iterator>

#include "board/Board.h"
#include "board/Paths.h"
#include "foundation/config/TraceCtl.h"
#include "foundation/os/Fd.h"
#include "foundation/os/Net.h"

namespace {

constexpr int Framers = 4;
constexpr int NetIfIndexes = 16;

// The counter files by owner (none has none; extBoard adds its ownerId).
const char* const counterFiles[] = {nullptr, "term_cnts/router", "term_cnts/controller", "term_cnts/server",
                                    "term_cnts/board"};

bool sameId(const MON::SnmpSetCommandId& a, const MON::SnmpSetCommandId& b) {
  if (a.currentSelection() != b.currentSelection()) return false;
  switch (a.currentSelection()) {
    case MON::SnmpSetCommandId::e_oid: return a.get_oid().getValue() == b.get_oid().getValue();
    case MON::SnmpSetCommandId::e_name:
      return a.get_name().get_section().getValue() == b.get_name().get_section().getValue() &&
             a.get_name().get_name().getValue() == b.get_name().get_name().getValue() &&
             a.get_name().get_index().getValue() == b.get_name().get_index().getValue();
    default: return false;
  }
}

// A set command's section and name become path components: each must be
// one name within its directory.
bool isPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

}  // namespace

std::string host2str(const TERM::HostAddress& host) { return host.get_iaddr().getValue(); }

std::string MonitoringDataHolder::monitoringPath(const std::string& name) {
  return Board::Paths::path(Board::Paths::MonitoringDir) + name;
}

MonitoringDataHolder::MonitoringDataHolder() {
  ClearMonitorFiles();
  findOwnAddress();
  findFramers();
  findNetIfs();
  CheckForMonDir(monitoringPath(""));
  CheckForMonDir(monitoringPath("term_cnts/"));
}

MonitoringDataHolder::~MonitoringDataHolder() { ClearMonitorFiles(); }

void MonitoringDataHolder::findOwnAddress() {
  std::list<INet4::Addr> addresses;
  if (Net::ifconfig(addresses, Net::ifPrivate) > 0)
    ownAddress = addresses.front();
  else
    ownAddress.Assign("127.0.0.1", nullptr);
  ownAddress.set_port(0);
}

void MonitoringDataHolder::findFramers() {
  for (int n = 0; n < Framers; ++n) {
    const std::string path = Board::Paths::path(Board::Paths::FramerStatus) + std::to_string(n);
    struct stat info;
    if (stat(path.c_str(), &info) == 0) framers.emplace_back(n + 1, path);
  }
}

void MonitoringDataHolder::findNetIfs() {
  // Indexes 0..15 that have a name; a failure just leaves the list shorter.
  const Fd socket(NetIfDataHolder::openSocket());
  if (!socket) return;
  for (int index = 0; index < NetIfIndexes; ++index) {
    ifreq request;
    std::memset(&request, 0, sizeof request);
    request.ifr_ifindex = index;
    if (Board::interfaceIoctl(socket.get(), SIOCGIFNAME, &request) == 0)
      netIfs.emplace_back(index, std::string(request.ifr_name, strnlen(request.ifr_name, IFNAMSIZ)));
  }
}

bool MonitoringDataHolder::setDipValue(int value) {
  if (value == dipValue) return false;
  dipValue = value;
  SaveStatusToFile(monitoringPath("dip"), &MonitoringDataHolder::DipStatusSaver, SaveStatusArg());
  return true;
}

bool MonitoringDataHolder::setPowerStatus(const LGCP::POWERStatus& status) {
  if (status.getValue() == boardPowerStatus.getValue()) return false;
  boardPowerStatus = status;
  SaveStatusToFile(monitoringPath("powerstatus"), &MonitoringDataHolder::PowerStatusSaver, SaveStatusArg());
  return true;
}

bool MonitoringDataHolder::setConfigVersion(uint32_t first, uint64_t second) {
  if (first == configVersionShort && second == configVersionLong) return false;
  configVersionShort = first;
  configVersionLong = second;
  SaveStatusToFile(monitoringPath("config_version"), &MonitoringDataHolder::ConfigVersionSaver, SaveStatusArg());
  return true;
}

bool MonitoringDataHolder::setText(std::string& kept, std::string text) {
  if (text == kept) return false;
  kept = std::move(text);
  return true;
}

bool MonitoringDataHolder::setTemperature(std::string text) { return setText(temperature, std::move(text)); }
bool MonitoringDataHolder::setBuildVersion(std::string text) { return setText(buildVersion, std::move(text)); }
bool MonitoringDataHolder::setFPGAVersion(std::string text) { return setText(fpgaVersion, std::move(text)); }
bool MonitoringDataHolder::setBootVersion(std::string text) { return setText(bootVersion, std::move(text)); }
bool MonitoringDataHolder::setBoardVersion(std::string text) { return setText(boardVersion, std::move(text)); }

bool MonitoringDataHolder::setControllerStatus(const LGCP::ControllerInfo& info) {
  // The port of the host is not part of the controller's identity here; a
  // text that is no address leaves 0.0.0.0.
  INet4::Addr address;
  address.Assign(host2str(info.get_host()), nullptr);
  const bool own = address.IsEqual(ownAddress);
  if (own) controllerStatus = info.get_status();

  bool changed = true;
  auto known = std::find_if(controllers.begin(), controllers.end(), [&](const LGCP::ControllerInfo& kept) {
    return kept.get_host().compare(info.get_host()) == 0;
  });
  if (known == controllers.end()) {
    controllers.push_back(info);
  } else {
    changed = known->get_status().getValue() != info.get_status().getValue();
    known->get_status() = info.get_status();
  }
  if (!changed) return false;

  const std::string dotted = inet_ntoa(address.address());
  if (traces.monitoring_internal)
    std::clog << "New controller " << dotted << " status - " << info.get_status().asValueNotation() << std::endl;
  CheckForMonControllerDir(address);
  SaveStatusArg arg;
  arg.status = &info.get_status();
  SaveStatusToFile(monitoringPath("controller/" + dotted + "/status"), &MonitoringDataHolder::ControllerStatusSaver,
                   arg);
  return own;
}

void MonitoringDataHolder::setDisplayStatus(const LGCP::DisplayParams& params) {
  switch (params.currentSelection()) {
    case LGCP::DisplayParams::e_board: setBoardStatus(params.get_board()); break;
    case LGCP::DisplayParams::e_snmpTrapReceivers: setSnmpTrapReceivers(params.get_snmpTrapReceivers()); break;
    case LGCP::DisplayParams::e_emPhone: setEmPhoneInfo(params.get_emPhone()); break;
    case LGCP::DisplayParams::e_controller: setControllerStatus(params.get_controller()); break;
    case LGCP::DisplayParams::e_termCounter: setTermCounter(params.get_termCounter()); break;
    case LGCP::DisplayParams::e_snmp_set: setSnmpCommands(params.get_snmp_set()); break;
    default: break;
  }
}

void MonitoringDataHolder::setBoardStatus(const LGCP::BoardInfo& info) {
  if (info.currentSelection() != LGCP::BoardInfo::e_boardStatus) return;
  const LGCP::BoardStatusParams& board = info.get_boardStatus();
  SaveStatusArg arg;
  arg.board = &board;
  SaveStatusToFile(monitoringPath("board" + std::to_string(board.get_position().getValue())),
                   &MonitoringDataHolder::BoardStatusSaver, arg);
}

void MonitoringDataHolder::setEmPhoneInfo(const LGCP::EmPhoneInfo& info) {
  if (info.currentSelection() != LGCP::EmPhoneInfo::e_phoneStatus) return;
  const LGCP::EmPhoneStatusParams& phone = info.get_phoneStatus();
  SaveStatusArg arg;
  arg.phone = &phone;
  SaveStatusToFile(monitoringPath("emphone" + std::to_string(phone.get_id().getValue())),
                   &MonitoringDataHolder::PhoneStatusSaver, arg);
}

void MonitoringDataHolder::setTermCounter(const LGCP::TermCounter& counter) {
  const int owner = counter.get_owner().getValue();
  const bool hasId = counter.hasOptionalField(LGCP::TermCounter::o_ownerId);
  const int id = hasId ? counter.get_ownerId().getValue() : 0;
  std::string file;
  if (owner == LGCP::TermCounterOwner::extBoard) {
    if (hasId) file = std::string(counterFiles[owner]) + std::to_string(id);
  } else if (owner > 0 && owner < int(std::size(counterFiles))) {
    file = counterFiles[owner];
  }
  if (!file.empty()) {
    SaveStatusArg arg;
    arg.count = counter.get_cnt().getValue();
    SaveStatusToFile(monitoringPath(file), &MonitoringDataHolder::TermCounterSaver, arg);
  }

  // A board's counter is its ownerId: an id-less one must not take a board's
  // count (that count would never be published), nor a board's an id-less
  // count. For the other owners an id missing on either side matches: one
  // counter reported with and without an id must stay one entry, or the
  // stale count is published after the current one.
  auto kept = std::find_if(termCounters.begin(), termCounters.end(), [&](const LGCP::TermCounter& entry) {
    if (entry.get_owner().getValue() != owner) return false;
    const bool entryHasId = entry.hasOptionalField(LGCP::TermCounter::o_ownerId);
    if (entryHasId && hasId) return entry.get_ownerId().getValue() == id;
    return owner != LGCP::TermCounterOwner::extBoard || entryHasId == hasId;
  });
  if (kept == termCounters.end())
    termCounters.push_back(counter);
  else
    kept->set_cnt(counter.get_cnt().getValue());
}

void MonitoringDataHolder::setSnmpTrapReceivers(const ASN1::SEQUENCE_OF<ASN1::IA5String>& receivers) {
  if (traces.monitoring_internal) std::clog << "Trap receivers:" << receivers.asValueNotation() << std::endl;
  trapReceivers.clear();
  for (const ASN1::IA5String& receiver : receivers) trapReceivers.push_back(receiver.getValue());
}

void MonitoringDataHolder::setSnmpCommands(const MON::SnmpSetCommands& commands) {
  auto& kept = snmpCommands.get_commands();
  for (const MON::SnmpSetCommand& command : commands.get_commands()) {
    auto match = std::find_if(kept.begin(), kept.end(), [&](const MON::SnmpSetCommand& entry) {
      return sameId(entry.get_id(), command.get_id());
    });
    if (match == kept.end())
      kept.push_back(command);
    else
      match->set_value(command.get_value().getValue());
    if (command.get_id().currentSelection() == MON::SnmpSetCommandId::e_name)
      saveSetValue(command.get_id().get_name(), command.get_value().getValue());
  }
}

void MonitoringDataHolder::saveSetValue(const MON::IniName& id, const std::string& value) {
  const std::string& section = id.get_section().getValue();
  const std::string& name = id.get_name().getValue();
  const std::string index = std::to_string(id.get_index().getValue());
  lastSnmpValue = value;
  if (!isPlainName(section) || !isPlainName(name)) {
    std::clog << "FAIL set command path <" << section << '/' << index << '/' << name
              << "> leaves the monitoring catalog" << std::endl;
    return;
  }
  CheckForMonDir(monitoringPath(section));
  CheckForMonDir(monitoringPath(section + '/' + index));
  SaveStatusArg arg;
  arg.text = &lastSnmpValue;
  SaveStatusToFile(monitoringPath(section + '/' + index + '/' + name), &MonitoringDataHolder::StringParamSaver, arg);
}
