#pragma once
// The daemon's command line: short options "Dh", long options "daemon",
// "disable-clock", "port" (with a value), "version" and "help".

namespace CommandLine {

constexpr int DefaultPort = 20001;

struct Options {
  bool daemon = false;
  int port = DefaultPort;
};

// Parses the arguments. Ends the process after "--help" (status 0), a
// mistake (status 2, both with the usage on standard output) and "--version"
// (status 2). "--disable-clock" calls disableClock at once, while parsing.
Options Parse(int argc, char* argv[], void (*disableClock)() = nullptr);

}  // namespace CommandLine
