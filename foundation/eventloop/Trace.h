#pragma once
// A scope tracer: "Enter <name>" when built, "Leave <name>" when destroyed.

#include <iosfwd>

namespace Trace {

class Block {
public:
  Block(bool enabled, const char* name, std::ostream& out);
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
  ~Block();

private:
  bool enabled_;
  const char* name_;
  std::ostream& out_;
};

}  // namespace Trace
