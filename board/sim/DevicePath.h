#pragma once
// The path a device model answers: fixed ("/dev/dtmf"), or a pattern with one
// "%d" that stands for a decimal number ("/dev/mdm%d" answers "/dev/mdm0",
// "/dev/mdm17", ...), or none for a model that no path opens.

#include <string>

namespace Board {
namespace Sim {

class DevicePath {
public:
  explicit DevicePath(std::string text);

  const std::string& text() const { return text_; }
  bool none() const { return text_.empty(); }
  // True when `path` is this device's; `number` is then the number it
  // carries, -1 for a fixed path.
  bool matches(const std::string& path, int& number) const;
  // The path opened with `number` in the pattern's place; a fixed path as it is.
  std::string opened(int number) const;

private:
  std::string text_;
  size_t hole_;  // where "%d" stands, npos for a fixed path
};

}  // namespace Sim
}  // namespace Board
