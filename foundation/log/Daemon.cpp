#include "foundation/log/Daemon.h"

#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <sstream>

#include "foundation/log/LogFileStreamBuf.h"
#include "foundation/log/SysLogManager.h"
#include "foundation/log/SysLogStreamBuf.h"
#include "foundation/os/Version.h"

namespace Daemon {

namespace {
constexpr int DaemonFacility = 3;
constexpr int Notice = 5;
constexpr int Err = 3;
constexpr int Debug = 7;
constexpr std::string::size_type MaxIdent = 79;
}  // namespace

Sentry::Sentry(const Params& params) : mMode(params.mode) {
  if (::daemon(params.nochdir, 0) != 0) {
    std::cerr << "daemon() fail!" << std::endl;
    std::exit(2);
  }
  if (mMode == Syslog)
    toSyslog(params.name.substr(0, MaxIdent));
  else if (mMode == LogFiles)
    toLogFiles(params.name);
}

Sentry::~Sentry() {
  if (mMode != LogFiles) return;
  std::cout.rdbuf(nullptr);
  std::cerr.rdbuf(nullptr);
  std::clog.rdbuf(nullptr);
}

void Sentry::toSyslog(const std::string& ident) {
  syslogManager.openlog(ident.c_str(), SysLogManager::LogOpenAtOnce, 0);
  // The streams keep these to the very end of the process, past every
  // static destructor that may still write a line.
  std::cout.rdbuf(new ManagedSysLogStreamBuf(DaemonFacility, Notice));
  std::cerr.rdbuf(new ManagedSysLogStreamBuf(DaemonFacility, Err));
  std::clog.rdbuf(new ManagedSysLogStreamBuf(DaemonFacility, Debug));
  std::cin.tie(&std::cout);
  // Bytes written straight to the descriptors (by children, too) reach the
  // log unformatted.
  const int socket = syslogManager.socket();
  if (socket >= 0) {
    ::dup2(socket, STDOUT_FILENO);
    ::dup2(socket, STDERR_FILENO);
  }
}

void Sentry::toLogFiles(const std::string& directory) {
  mLogFile = std::make_unique<LogFileStreamBuf>(directory);
  std::cout.rdbuf(mLogFile.get());
  std::cerr.rdbuf(mLogFile.get());
  std::clog.rdbuf(mLogFile.get());
}

void Init(const Params& params) { static Sentry sentry(params); }

std::string Identity() {
  std::ostringstream ident;
  ident << "tvd-";
  Version::current.put(ident);
  return ident.str();
}

}  // namespace Daemon
