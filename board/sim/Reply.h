#pragma once
// The answer to one control line: text lines, then "OK" or "ERR <why>".

#include <string>
#include <vector>

namespace Board {
namespace Sim {

class Reply {
public:
  void line(std::string text) { lines_.push_back(std::move(text)); }
  // The first failure stands; a command stops at it.
  void fail(std::string why) {
    if (failed_) return;
    failed_ = true;
    error_ = std::move(why);
  }
  bool failed() const { return failed_; }
  const std::vector<std::string>& lines() const { return lines_; }
  // Every line as sent, the closing "OK" or "ERR ..." included.
  std::vector<std::string> text() const {
    std::vector<std::string> all = lines_;
    all.push_back(failed_ ? "ERR " + error_ : "OK");
    return all;
  }

private:
  std::vector<std::string> lines_;
  std::string error_;
  bool failed_ = false;
};

}  // namespace Sim
}  // namespace Board
