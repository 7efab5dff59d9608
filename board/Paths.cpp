#include "board/Paths.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>

namespace Board {
namespace Paths {

const std::string& root() {
  static const std::string dir = root(std::getenv("SERVER_ROOT"));
  return dir;
}

std::string root(const char* value) {
  std::string d = value ? value : "";
  // A relative root is taken where it lies now: the daemon changes its
  // working directory later.
  if (!d.empty() && d.front() != '/') {
    std::error_code error;
    const std::filesystem::path whole = std::filesystem::absolute(d, error);
    if (!error) d = whole.lexically_normal().string();
  }
  // "/tmp/root/" and "/tmp/root" name the same tree; "/" is the machine itself.
  while (!d.empty() && d.back() == '/') d.pop_back();
  return d;
}

std::string path(const char* fixed) { return root() + fixed; }

unsigned short authPort() {
  static const unsigned short port = authPort(std::getenv("SERVER_AUTH_PORT"));
  return port;
}

unsigned short authPort(const char* value) {
  constexpr unsigned long Default = 52000;
  if (!value || !*value) return Default;
  // Decimal digits only: no blank, sign or base, and no wrap however long.
  unsigned long n = 0;
  const char* c = value;
  for (; *c >= '0' && *c <= '9' && n <= 65535; ++c) n = n * 10 + unsigned(*c - '0');
  if (!*c && n >= 1 && n <= 65535) return (unsigned short)n;
  std::cerr << "SERVER_AUTH_PORT \"" << value << "\" is not a port from 1 to 65535: using port " << Default
            << std::endl;
  return Default;
}

}  // namespace Paths
}  // namespace Board
