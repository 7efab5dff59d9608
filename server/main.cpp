// The gateway daemon: reads its command line, writes its pid file and runs
// the main loop with the hardware watchdog until SIGTERM or SIGINT.

#include "foundation/eventloop/Multiplexer.h"
#include "foundation/os/Run.h"
#include "foundation/os/Signal.h"
#include "foundation/os/Version.h"

#include <getopt.h>

#include <cerrno>
#include <cstdlib>
#include <iostream>

namespace {

const char usage[] =
    "Usage:\n trelvisd -Dh\n"
    "  -D --daemon                      run as daemon\n"
    "  -p --port                        use this port\n"
    "     --disable-clock               disable clock control\n"
    "     --version                     print version\n"
    "  -h --help                        display this information\n";

const int defaultPort = 20001;

int print_version = 0;

const option long_options[] = {
    {"port", required_argument, nullptr, 'p'},
    {"version", no_argument, &print_version, 1},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
};

void SigPipeHandler(int, siginfo_t*, void*) {}

void SigTermHandler(int, siginfo_t*, void*) { multiplexer.terminate(); }

[[noreturn]] void exitWithUsage(int status) {
  std::cout << usage << std::endl;
  std::exit(status);
}

// A port is a decimal number 1..65535 and nothing else.
bool parsePort(const char* text, int& port) {
  if (*text < '0' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (errno || *end != '\0' || value < 1 || value > 65535) return false;
  port = int(value);
  return true;
}

}  // namespace

int main(int argc, char* argv[]) {
  IPC::Signal::handle(SIGPIPE, SigPipeHandler, SA_RESTART);
  // Without SA_RESTART, so that they interrupt the loop's poll().
  IPC::Signal::handle(SIGTERM, SigTermHandler, 0);
  IPC::Signal::handle(SIGINT, SigTermHandler, 0);

  int port = defaultPort;
  opterr = 1;
  for (int c; (c = getopt_long(argc, argv, "h", long_options, nullptr)) != -1;) {
    switch (c) {
      case 'h':
        exitWithUsage(0);
      case 'p':
        if (!parsePort(optarg, port)) exitWithUsage(2);
        break;
      case '?':
        exitWithUsage(2);
      default:
        break;
    }
  }
  if (print_version) {
    std::cout << "server version: " << Version::current << std::endl;
    return 2;
  }

  Linux::Run pidFile("server");
  std::cout << "Starting server [" << Version::current << "], port=" << port << std::endl;

  multiplexer.run(true, true);
  return 0;
}
