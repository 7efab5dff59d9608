#include "testing/Environment.h"

#include <stdlib.h>

#include <filesystem>
#include <system_error>

#include "testing/Emulator.h"

namespace Testing {

namespace {

namespace fs = std::filesystem;

// The build tree's top, "" when this program lies in none.
fs::path buildTree() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (error) return {};
  for (fs::path dir = self.parent_path(); dir.has_relative_path(); dir = dir.parent_path())
    if (fs::exists(dir / "CMakeCache.txt", error)) return dir;
  return {};
}

void byDefault(const char* name, const fs::path& program) {
  std::error_code error;
  if (!std::getenv(name) && fs::is_regular_file(program, error)) ::setenv(name, program.c_str(), 0);
}

}  // namespace

void useBuildPrograms() {
  const fs::path tree = buildTree();
  if (tree.empty()) return;
  byDefault("GW_SERVER_BINARY", tree / "server/server");
  if (emulator().empty()) {
    byDefault("GW_STANDIN", tree / "media/standin");
  } else {
    byDefault("GW_STANDIN_TARGET", tree / "media/standin");
    byDefault("GW_STANDIN", tree / "testing/standin-launcher");
  }
}

}  // namespace Testing
