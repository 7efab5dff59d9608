#include "foundation/os/Proc.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "board/Paths.h"

namespace {
bool commandIs(const std::string& proc, int pid, const char* name) {
  std::string path = proc + "/" + std::to_string(pid) + "/stat";
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char stat[256];
  ssize_t n = read(fd, stat, sizeof stat - 1);
  close(fd);
  if (n <= 0) return false;
  stat[n] = '\0';
  const char* open = strchr(stat, '(');
  const char* close = strrchr(stat, ')');
  if (!open || !close || close < open) return false;
  return std::string(open + 1, close) == name;
}
}  // namespace

int find_proc_by_name(const char* name, int hint) {
  if (!name) return -1;
  std::string proc = Board::Paths::path(Board::Paths::Proc);
  if (hint > 0 && commandIs(proc, hint, name)) return hint;
  DIR* dir = opendir(proc.c_str());
  if (!dir) return -1;
  int found = -1;
  while (dirent* entry = readdir(dir)) {
    int pid = atoi(entry->d_name);
    if (pid > 0 && commandIs(proc, pid, name)) {
      found = pid;
      break;
    }
  }
  closedir(dir);
  return found;
}
