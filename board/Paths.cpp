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

}  // namespace Paths
}  // namespace Board
