#include "server/CommandLine.h"

#include <getopt.h>

#include <cerrno>
#include <cstdlib>
#include <iostream>

#include "foundation/os/Version.h"

namespace CommandLine {

namespace {

const char usage[] =
    "Usage:\n trelvisd -Dh\n"
    "  -D --daemon                      run as daemon\n"
    "  -p --port                        use this port\n"
    "     --disable-clock               disable clock control\n"
    "     --version                     print version\n"
    "  -h --help                        display this information\n";

constexpr int DisableClock = 10;

// Set by the parser itself when "--version" is seen.
int print_version = 0;

const option long_options[] = {
    {"daemon", no_argument, nullptr, 'D'},     {"disable-clock", no_argument, nullptr, DisableClock},
    {"port", required_argument, nullptr, 'p'}, {"version", no_argument, &print_version, 1},
    {"help", no_argument, nullptr, 'h'},       {nullptr, 0, nullptr, 0},
};

[[noreturn]] void ExitWithUsage(int status) {
  std::cout << usage << std::endl;
  std::exit(status);
}

// A port is a decimal number 1..65535 and nothing else: a port the
// acceptor would silently truncate, or no port at all, is a mistake.
bool ParsePort(const char* text, int& port) {
  if (*text < '0' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (errno || *end != '\0' || value < 1 || value > 65535) return false;
  port = int(value);
  return true;
}

}  // namespace

Options Parse(int argc, char* argv[], void (*disableClock)()) {
  Options options;
  opterr = 1;
  for (int c; (c = getopt_long(argc, argv, "Dh", long_options, nullptr)) != -1;) {
    switch (c) {
      case 'h': ExitWithUsage(0);
      case '?': ExitWithUsage(2);
      case 'p':
        if (!ParsePort(optarg, options.port)) ExitWithUsage(2);
        break;
      case 'D': options.daemon = true; break;
      case DisableClock:
        if (disableClock) disableClock();
        break;
      default: break;
    }
  }
  if (print_version) {
    std::cout << "server version: " << Version::current << std::endl;
    std::exit(2);
  }
  return options;
}

}  // namespace CommandLine
