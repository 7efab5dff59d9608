#include "board/Paths.h"

#include <cstdlib>

namespace Board {
namespace Paths {

const std::string& root() {
  static const std::string dir = [] {
    const char* env = std::getenv("SERVER_ROOT");
    std::string d = env ? env : "";
    // "/tmp/root/" and "/tmp/root" name the same tree; "/" is the machine itself.
    while (!d.empty() && d.back() == '/') d.pop_back();
    return d;
  }();
  return dir;
}

std::string path(const char* fixed) { return root() + fixed; }

unsigned short authPort() {
  static const unsigned short port = [] {
    constexpr unsigned long Default = 52000;
    const char* env = std::getenv("SERVER_AUTH_PORT");
    char* end = nullptr;
    const unsigned long n = env && *env ? std::strtoul(env, &end, 10) : 0;
    return (unsigned short)(n > 0 && n <= 65535 && *end == '\0' ? n : Default);
  }();
  return port;
}

}  // namespace Paths
}  // namespace Board
