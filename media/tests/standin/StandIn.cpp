// A stand-in for the programs the daemon runs as children (pppd, the fax
// programs, the T.38 program), installed by a test as a copy at the
// program's path. It appends its command line to "<its own path>.log", one
// line of the arguments (its name first) joined by blanks, then follows the
// steps in "<its own path>.do", one per line, and exits 0 after the last:
//   hup ignore   SIGHUP is ignored from then on (as the first step, before the log)
//   print TEXT   TEXT and a newline on standard output
//   read N       N bytes of standard input, logged as "read HEX"
//   wait         until a signal ends it
//   exit N       ends with status N

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

int main(int argc, char* argv[]) {
  // Under an emulator the copy is the host's launcher, which names its own path.
  const char* launched = std::getenv("GW_STANDIN_PATH");
  char path[4096] = {};
  const ssize_t length = launched ? 0 : ::readlink("/proc/self/exe", path, sizeof path - 1);
  const std::string me = launched ? launched : std::string(path, size_t(std::max<ssize_t>(0, length)));
  std::vector<std::string> steps;
  std::ifstream in(me + ".do");
  for (std::string text; std::getline(in, text);) steps.push_back(text);
  // Hang-ups ignored from the first step are ignored before the command line
  // is logged: a test that has read the line may hang the program up.
  if (!steps.empty() && steps.front() == "hup ignore") ::signal(SIGHUP, SIG_IGN);
  std::ofstream log(me + ".log", std::ios::app);
  std::string line;
  for (int i = 0; i < argc; ++i) line += (i ? " " : "") + std::string(argv[i]);
  log << line << std::endl;

  for (const std::string& text : steps) {
    std::istringstream words(text);
    std::string step, rest;
    words >> step;
    std::getline(words >> std::ws, rest);
    if (step == "hup") {
      ::signal(SIGHUP, SIG_IGN);
    } else if (step == "print") {
      std::printf("%s\n", rest.c_str());
      std::fflush(stdout);
    } else if (step == "read") {
      std::string hex = "read ";
      for (long left = std::atol(rest.c_str()); left > 0;) {
        unsigned char buf[256];
        const ssize_t n = ::read(0, buf, size_t(left) < sizeof buf ? size_t(left) : sizeof buf);
        if (n <= 0) break;
        for (ssize_t i = 0; i < n; ++i) hex += {"0123456789ABCDEF"[buf[i] >> 4], "0123456789ABCDEF"[buf[i] & 15]};
        left -= n;
      }
      log << hex << std::endl;
    } else if (step == "wait") {
      for (;;) ::pause();
    } else if (step == "exit") {
      return std::atoi(rest.c_str());
    }
  }
  return 0;
}
