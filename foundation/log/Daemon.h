#pragma once
// Turns the process into a daemon once and routes std::cout, std::cerr and
// std::clog either to syslog (levels notice, err and debug of the daemon
// facility: priorities 29, 27 and 31) or to hourly log files.

#include <memory>
#include <string>

class LogFileStreamBuf;

namespace Daemon {

enum OutputMode { Syslog = 0, LogFiles = 1 };

struct Params {
  // Any mode but Syslog and LogFiles leaves the streams alone.
  int mode = Syslog;
  // Passed to daemon(3): keep the working directory.
  bool nochdir = false;
  // The syslog ident, or the log directory.
  std::string name = "unknown";
};

// The set-up, done on construction; destruction undoes the log-file routing.
class Sentry {
public:
  explicit Sentry(const Params& params);
  Sentry(const Sentry&) = delete;
  Sentry& operator=(const Sentry&) = delete;
  ~Sentry();

private:
  void toSyslog(const std::string& ident);
  void toLogFiles(const std::string& directory);

  int mMode;
  std::unique_ptr<LogFileStreamBuf> mLogFile;
};

// Performs the set-up the first time; later calls do nothing.
void Init(const Params& params);

// The daemon's syslog ident: "tvd-" and the build tag.
std::string Identity();

}  // namespace Daemon
