#include "board/sim/DevicePath.h"

#include <climits>

namespace Board {
namespace Sim {

DevicePath::DevicePath(std::string text) : text_(std::move(text)), hole_(text_.find("%d")) {}

bool DevicePath::matches(const std::string& path, int& number) const {
  if (none()) return false;
  if (hole_ == std::string::npos) {
    number = -1;
    return path == text_;
  }
  const size_t tail = text_.size() - hole_ - 2;
  if (path.size() <= hole_ + tail || path.compare(0, hole_, text_, 0, hole_) != 0 ||
      path.compare(path.size() - tail, tail, text_, hole_ + 2, tail) != 0) {
    return false;
  }
  // The digits as "%d" prints a number: no sign, no leading zero.
  const std::string digits = path.substr(hole_, path.size() - hole_ - tail);
  if (digits.size() > 1 && digits[0] == '0') return false;
  long long value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
    if (value > INT_MAX) return false;
  }
  number = int(value);
  return true;
}

std::string DevicePath::opened(int number) const {
  if (hole_ == std::string::npos) return text_;
  return text_.substr(0, hole_) + std::to_string(number) + text_.substr(hole_ + 2);
}

}  // namespace Sim
}  // namespace Board
