#include "monitoring/BoardFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace BoardFiles {

namespace {

constexpr size_t LineBuffer = 256;
constexpr size_t StatusBuffer = 1024;

constexpr const char* ConfigPrefix = "config.";
constexpr const char* ConfigArchive = "config.2save.tar.bz2";
// After the prefix: the first number's digits, one separator, the second's.
constexpr size_t FirstDigits = 8;
constexpr size_t SecondAt = 9;
constexpr size_t SecondDigits = 16;

bool startsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// A hexadecimal number as a string stream reads it; `value` stays when it does not read.
template <class T>
void readHex(const std::string& digits, T& value) {
  std::istringstream in(digits);
  T read;
  if (in >> std::hex >> read) value = read;
}

}  // namespace

bool readFirstLine(const std::string& path, std::string& line) {
  FILE* file = std::fopen(path.c_str(), "r");
  if (!file) return false;
  char buffer[LineBuffer] = {};
  if (!std::fgets(buffer, int(LineBuffer - 1), file)) buffer[0] = '\0';
  std::fclose(file);
  line = buffer;
  return true;
}

std::string firstWord(const std::string& text) { return text.substr(0, text.find_first_of(" \t\n\r\f\v")); }

bool readStatusFile(const std::string& path, std::vector<unsigned char>& text, bool& opened) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  opened = fd >= 0;
  if (!opened) return false;
  text.assign(StatusBuffer, 0);
  const ssize_t n = ::read(fd, text.data(), text.size());
  const int err = errno;
  ::close(fd);
  if (n <= 0) {
    errno = n == 0 ? 0 : err;
    return false;
  }
  text.resize(size_t(n));
  return true;
}

bool readConfigVersion(const std::string& directory, uint32_t& first, uint64_t& second) {
  DIR* dir = opendir(directory.c_str());
  if (!dir) return false;
  // The configuration directory stays the working directory from now on.
  if (chdir(directory.c_str()) != 0) {
    closedir(dir);
    return false;
  }
  first = 0;
  second = 0;
  bool found = false;
  while (const dirent* entry = readdir(dir)) {
    struct stat info;
    if (fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(info.st_mode)) continue;
    const std::string name = entry->d_name;
    if (!startsWith(name, ConfigPrefix) || startsWith(name, ConfigArchive)) continue;
    found = true;
    const std::string numbers = name.substr(std::strlen(ConfigPrefix), SecondAt + SecondDigits);
    readHex(numbers.substr(0, FirstDigits), first);
    // A name too short to hold the second number keeps the one before.
    if (numbers.size() > SecondAt) readHex(numbers.substr(SecondAt, SecondDigits), second);
  }
  closedir(dir);
  return found;
}

}  // namespace BoardFiles
