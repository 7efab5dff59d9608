// The files of the monitoring state store: one value or one record per file
// under /var/monitoring/, plain text, written whole on every write.

#include <arpa/inet.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iostream>
#include <vector>

#include "foundation/config/TraceCtl.h"
#include "monitoring/MonitoringDataHolder.h"

namespace {

constexpr mode_t DirectoryMode = 0755;

bool isDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// "dir/.name.tmp" for "dir/name": same directory, so the rename is atomic.
std::string temporaryName(const std::string& path) {
  const std::string::size_type slash = path.rfind('/') + 1;
  return path.substr(0, slash) + '.' + path.substr(slash) + ".tmp";
}

// The names in a directory but "." and "..", sorted; false when it does not open.
bool listEntries(const std::string& path, std::vector<std::string>& names) {
  DIR* dir = opendir(path.c_str());
  if (!dir) return false;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return true;
}

// An octet string's bytes up to its first zero byte.
void writeOctets(FILE* file, const ASN1::OCTET_STRING& octets) {
  for (auto octet = octets.begin(); octet != octets.end() && *octet != '\0'; ++octet) std::fputc(*octet, file);
  std::fputc('\n', file);
}

void writeNumber(FILE* file, int number) { std::fprintf(file, "%d\n", number); }

}  // namespace

bool MonitoringDataHolder::SaveStatusToFile(const std::string& path, Saver writer, const SaveStatusArg& arg) {
  const std::string temporary = temporaryName(path);
  FILE* file = std::fopen(temporary.c_str(), "w");
  if (!file) {
    std::clog << "FAIL create temporary file <" << path << "> with code=" << errno << std::endl;
    return false;
  }
  (this->*writer)(file, &arg);
  const bool failed = std::ferror(file) != 0;
  if (std::fclose(file) != 0 || failed) {
    std::clog << "FAIL write temporary file <" << path << "> with code=" << errno << std::endl;
    std::remove(temporary.c_str());
    return false;
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::clog << "FAIL rename temporary file <" << path << "> with code=" << errno << std::endl;
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

bool MonitoringDataHolder::CheckForMonDir(const std::string& path) {
  if (isDirectory(path)) return true;
  if (mkdir(path.c_str(), DirectoryMode) == 0) return true;
  std::clog << "FAIL create monitoring catalog <" << path << "> with code=" << errno << std::endl;
  return false;
}

void MonitoringDataHolder::CheckForMonControllerDir(const INet4::Addr& addr) {
  const std::string catalog = monitoringPath("controller/");
  if (!CheckForMonDir(catalog)) return;
  const std::string directory = catalog + inet_ntoa(addr.address());
  if (isDirectory(directory)) return;
  if (mkdir(directory.c_str(), DirectoryMode) != 0)
    std::clog << "FAIL create monitoring catalog <" << directory << "> with code=" << errno << std::endl;
  // The link is made with the own controller's directory only; an existing
  // one is never replaced.
  if (addr.IsEqual(ownAddress) && symlink(directory.c_str(), (catalog + "self").c_str()) != 0)
    std::clog << "FAIL create symlink to monitoring catalog <" << directory << "> with code=" << errno << std::endl;
}

void MonitoringDataHolder::ClearMonitorFiles() {
  // remove() takes files, links and empty directories: a directory with
  // files in it stays as it is.
  std::vector<std::string> names;
  if (!listEntries(monitoringPath(""), names)) return;
  for (const std::string& name : names) std::remove(monitoringPath(name).c_str());
}

void MonitoringDataHolder::ClearControllerFiles() {
  std::vector<std::string> names;
  if (!listEntries(monitoringPath(""), names)) return;
  for (const std::string& name : names) {
    if (name.compare(0, 5, "board") != 0) continue;
    if (traces.monitoring_internal) std::clog << "remove monitoring info: " << name << std::endl;
    std::remove(monitoringPath(name).c_str());
  }
  boards.clear();
}

void MonitoringDataHolder::DipStatusSaver(FILE* file, const SaveStatusArg*) { std::fprintf(file, "%d", dipValue); }

void MonitoringDataHolder::PowerStatusSaver(FILE* file, const SaveStatusArg*) {
  const int status = boardPowerStatus.getValue();
  std::fputc(status >= LGCP::POWERStatus::standby && status <= LGCP::POWERStatus::both ? '0' + status : '0', file);
}

void MonitoringDataHolder::ConfigVersionSaver(FILE* file, const SaveStatusArg*) {
  std::fprintf(file, "%08x-%016llx", unsigned(configVersionShort), static_cast<unsigned long long>(configVersionLong));
}

void MonitoringDataHolder::BoardStatusSaver(FILE* file, const SaveStatusArg* arg) {
  const LGCP::BoardStatusParams& board = *arg->board;
  writeNumber(file, board.get_status().getValue());
  writeOctets(file, board.get_version());
  writeNumber(file, board.get_type().getValue());
  auto kept = std::find_if(boards.begin(), boards.end(), [&](const LGCP::BoardStatusParams& entry) {
    return entry.get_position().getValue() == board.get_position().getValue();
  });
  if (kept == boards.end())
    boards.push_back(board);
  else
    *kept = board;
}

void MonitoringDataHolder::PhoneStatusSaver(FILE* file, const SaveStatusArg* arg) {
  const LGCP::EmPhoneStatusParams& phone = *arg->phone;
  writeOctets(file, phone.get_panelSV());
  writeOctets(file, phone.get_ctrlSV());
  writeOctets(file, phone.get_fpgaSV());
  writeNumber(file, phone.get_status().getValue());
  writeNumber(file, phone.get_powerStatus().getValue());
  writeNumber(file, phone.get_mode().getValue());
  writeNumber(file, phone.get_hookStatus().getValue());
  writeNumber(file, phone.get_baseStatus().getValue());
  auto kept = std::find_if(emPhones.begin(), emPhones.end(), [&](const LGCP::EmPhoneStatusParams& entry) {
    return entry.get_id().getValue() == phone.get_id().getValue();
  });
  if (kept == emPhones.end())
    emPhones.push_back(phone);
  else
    *kept = phone;
}

void MonitoringDataHolder::TermCounterSaver(FILE* file, const SaveStatusArg* arg) {
  std::fprintf(file, "%d", arg->count);
}

void MonitoringDataHolder::ControllerStatusSaver(FILE* file, const SaveStatusArg* arg) {
  std::fprintf(file, "%d", arg->status->getValue());
}

void MonitoringDataHolder::StringParamSaver(FILE* file, const SaveStatusArg* arg) {
  std::fwrite(arg->text->data(), 1, arg->text->size(), file);
}
