#include "board/sim/Args.h"

#include <cerrno>
#include <cstdlib>

#include "board/sim/Hex.h"

namespace Board {
namespace Sim {

namespace {

struct ErrnoName {
  const char* name;
  int value;
};

const ErrnoName errnoNames[] = {
    {"EPERM", EPERM},   {"ENOENT", ENOENT}, {"EINTR", EINTR},         {"EIO", EIO},       {"ENXIO", ENXIO},
    {"EAGAIN", EAGAIN}, {"ENOMEM", ENOMEM}, {"EACCES", EACCES},       {"EFAULT", EFAULT}, {"EBUSY", EBUSY},
    {"ENODEV", ENODEV}, {"EINVAL", EINVAL}, {"ENOSPC", ENOSPC},       {"ENOTTY", ENOTTY}, {"ERANGE", ERANGE},
    {"ENOSYS", ENOSYS}, {"EPIPE", EPIPE},   {"ETIMEDOUT", ETIMEDOUT},
};

}  // namespace

bool Args::parse(const std::string& word, int64_t min, int64_t max, int64_t& value) {
  const size_t sign = !word.empty() && word[0] == '-' ? 1 : 0;
  if (word.size() == sign || (sign && min >= 0) || word[sign] == '+' || word[sign] == '-') {
    return false;
  }
  const bool hex = word.compare(sign, 2, "0x") == 0 || word.compare(sign, 2, "0X") == 0;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(word.c_str(), &end, hex ? 16 : 10);
  if (errno != 0 || *end != '\0' || v < min || v > max) return false;
  value = v;
  return true;
}

int64_t Args::number(const char* what, int64_t min, int64_t max) {
  const std::string w = word();
  int64_t value = 0;
  if (*this && !parse(w, min, max, value)) bad(what, w);
  return *this ? value : 0;
}

int64_t Args::number(const char* what, int64_t min, int64_t max, int64_t absent) {
  return more() ? number(what, min, max) : absent;
}

float Args::real(const char* what) {
  const std::string w = word();
  char* end = nullptr;
  const float value = std::strtof(w.c_str(), &end);
  if (*this && (w.empty() || *end)) bad(what, w);
  return *this ? value : 0;
}

std::string Args::bytes(const char* what) {
  const std::string w = word();
  std::string bytes;
  if (*this && !Hex::decode(w, bytes)) bad(what, w);
  return *this ? bytes : std::string();
}

int Args::error(const char* what) {
  const std::string w = word();
  for (const ErrnoName& e : errnoNames) {
    if (w == e.name) return e.value;
  }
  int64_t value = 0;
  if (*this && !parse(w, 1, 4095, value)) bad(what, w);
  return *this ? int(value) : 0;
}

std::string Args::word() {
  if (!*this || next_ >= words_.size()) return std::string();
  return words_[next_++];
}

void Args::bad(const char* what, const std::string& word) { reply_.fail(std::string("bad ") + what + ": " + word); }

}  // namespace Sim
}  // namespace Board
