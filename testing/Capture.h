#pragma once
// Standard streams captured for the life of the object: one stream, or
// several into one text in the order of their writes (std::cerr and
// std::clog together, as an operator reads the daemon's standard error).

#include <initializer_list>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace Testing {

class Capture {
public:
  explicit Capture(std::ostream& stream) : Capture({&stream}) {}
  Capture(std::initializer_list<std::ostream*> streams) {
    for (std::ostream* s : streams) saved_.emplace_back(s, s->rdbuf(text_.rdbuf()));
  }
  ~Capture() {
    for (auto& [stream, buffer] : saved_) stream->rdbuf(buffer);
  }
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;

  std::string str() const { return text_.str(); }
  void clear() { text_.str(""); }
  // What was written since the last take.
  std::string take() {
    std::string s = text_.str();
    clear();
    return s;
  }

private:
  std::ostringstream text_;
  std::vector<std::pair<std::ostream*, std::streambuf*>> saved_;
};

// How often `what` occurs in `text`, overlaps included.
inline size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace Testing
