#pragma once
// The monitoring service's memory of the board: the last value seen of each
// monitored quantity, the records the controller pushes with its display
// command, the set commands meant for the SNMP agents, and the framers and
// network interfaces found at start-up. The service reads the members
// directly. Setters keep the new value and mirror most values into small
// files under /var/monitoring/, one value or one record per file, each
// written whole through a temporary name; scalar setters tell whether the
// value changed, so that only real changes are published.

#include <cstdint>
#include <cstdio>
#include <list>
#include <string>

#include "asn1/modules/HSP.h"
#include "asn1/modules/LGCP.h"
#include "asn1/modules/MON.h"
#include "foundation/os/INet4.h"
#include "monitoring/FramerDataHolder.h"
#include "monitoring/NetIfDataHolder.h"

// The host's address text alone, without its port.
std::string host2str(const TERM::HostAddress& host);

class MonitoringDataHolder {
public:
  // What a file writer is given besides the members it reads itself.
  union SaveStatusArg {
    const LGCP::BoardStatusParams* board;
    const LGCP::EmPhoneStatusParams* phone;
    const HSP::ControllerStatus* status;
    const std::string* text;
    int count;
  };
  using Saver = void (MonitoringDataHolder::*)(FILE* file, const SaveStatusArg* arg);

  // Removes the previous run's files, finds the own address, the framers and
  // the network interfaces, and makes sure of "/var/monitoring/" and
  // "/var/monitoring/term_cnts/".
  MonitoringDataHolder();
  // Removes the files again.
  ~MonitoringDataHolder();
  MonitoringDataHolder(const MonitoringDataHolder&) = delete;
  MonitoringDataHolder& operator=(const MonitoringDataHolder&) = delete;

  // True when the value differs from the kept one: it is then kept and,
  // for the first three, written to its file.
  bool setDipValue(int value);
  bool setPowerStatus(const LGCP::POWERStatus& status);
  bool setConfigVersion(uint32_t first, uint64_t second);
  bool setTemperature(std::string text);
  bool setBuildVersion(std::string text);
  bool setFPGAVersion(std::string text);
  bool setBootVersion(std::string text);
  bool setBoardVersion(std::string text);
  // Keeps the status of the controller at that host and writes its status
  // file on a change; true when the status of the controller at the own
  // address changed.
  bool setControllerStatus(const LGCP::ControllerInfo& info);

  // The display command's record, by its alternative (framer LEDs are the
  // service's own business).
  void setDisplayStatus(const LGCP::DisplayParams& params);
  // Records are kept and written on every report, changed or not.
  void setBoardStatus(const LGCP::BoardInfo& info);
  void setEmPhoneInfo(const LGCP::EmPhoneInfo& info);
  void setTermCounter(const LGCP::TermCounter& counter);
  void setSnmpTrapReceivers(const ASN1::SEQUENCE_OF<ASN1::IA5String>& receivers);
  // Keeps one command per id; a command addressed by name also writes its
  // value to "/var/monitoring/<section>/<index>/<name>".
  void setSnmpCommands(const MON::SnmpSetCommands& commands);

  // The controller is gone: its board files go, and the boards with them.
  void ClearControllerFiles();

  INet4::Addr ownAddress;
  HSP::ControllerStatus controllerStatus;
  // The pid last found for the process "controller", -1 for none.
  int controllerPid = -1;
  // One entry per controller host ever reported, in order of first report.
  std::list<LGCP::ControllerInfo> controllers;
  LGCP::POWERStatus boardPowerStatus;
  // At most one entry per position.
  std::list<LGCP::BoardStatusParams> boards;
  // At most one entry per id.
  std::list<LGCP::EmPhoneStatusParams> emPhones;
  std::list<LGCP::TermCounter> termCounters;
  std::list<std::string> trapReceivers;
  // The DIP-switch byte, -1 before the first read.
  int dipValue = -1;
  uint64_t configVersionLong = ~uint64_t(0);
  uint32_t configVersionShort = ~uint32_t(0);
  std::string temperature;
  std::string buildVersion;
  std::string fpgaVersion;
  std::string bootVersion;
  std::string boardVersion;
  // At most one command per id.
  MON::SnmpSetCommands snmpCommands;
  // The value of the latest set command addressed by name.
  std::string lastSnmpValue;
  std::list<FramerDataHolder> framers;
  std::list<NetIfDataHolder> netIfs;

private:
  // A name under "/var/monitoring/" (itself for ""), placed under the root.
  static std::string monitoringPath(const std::string& name);
  bool setText(std::string& kept, std::string text);
  void saveSetValue(const MON::IniName& id, const std::string& value);
  void findOwnAddress();
  void findFramers();
  void findNetIfs();

  // The files (MonitoringFiles.cpp). A write goes to a temporary name in the
  // same directory and is renamed over the file, so a reader never sees a
  // half-written file; false, with one log line, when it did not happen.
  bool SaveStatusToFile(const std::string& path, Saver writer, const SaveStatusArg& arg);
  // Makes the directory when it is missing; false, logged, when it is not there.
  bool CheckForMonDir(const std::string& path);
  // The controller's directory and, for the own address, the "self" link.
  void CheckForMonControllerDir(const INet4::Addr& addr);
  void ClearMonitorFiles();

  void DipStatusSaver(FILE* file, const SaveStatusArg* arg);
  void PowerStatusSaver(FILE* file, const SaveStatusArg* arg);
  void ConfigVersionSaver(FILE* file, const SaveStatusArg* arg);
  void BoardStatusSaver(FILE* file, const SaveStatusArg* arg);
  void PhoneStatusSaver(FILE* file, const SaveStatusArg* arg);
  void TermCounterSaver(FILE* file, const SaveStatusArg* arg);
  void ControllerStatusSaver(FILE* file, const SaveStatusArg* arg);
  void StringParamSaver(FILE* file, const SaveStatusArg* arg);
};
