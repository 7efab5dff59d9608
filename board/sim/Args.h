#pragma once
// The arguments of one control command, read in order, each as the type it
// stands for. A word that does not read as asked fails the reply with
// "bad <what>: <word>", and every read after it gives 0 or "": a command
// reads all its arguments, then stops when the reader is no longer good.

#include <cstdint>
#include <string>
#include <vector>

#include "board/sim/Reply.h"

namespace Board {
namespace Sim {

class Args {
public:
  Args(std::vector<std::string> words, Reply& reply) : words_(std::move(words)), reply_(reply) {}

  size_t size() const { return words_.size(); }
  // Words not read yet.
  bool more() const { return next_ < words_.size(); }
  explicit operator bool() const { return !reply_.failed(); }

  // An integer in [min, max]: decimal, or hexadecimal after "0x"; "-" in front
  // where min is negative.
  int64_t number(const char* what, int64_t min, int64_t max);
  // The same, or `absent` when no word is left.
  int64_t number(const char* what, int64_t min, int64_t max, int64_t absent);
  // A decimal fraction.
  float real(const char* what);
  // Bytes given as hex digits, two per byte ("0a0B"); at least one byte.
  std::string bytes(const char* what);
  // An errno value: its name ("EIO", "EAGAIN", ...) or a positive number.
  int error(const char* what);
  // The word as it is.
  std::string word();
  // Fails the reply with "bad <what>: <word>".
  void bad(const char* what, const std::string& word);

  // The parse behind number(): false when `word` is not such a number.
  static bool parse(const std::string& word, int64_t min, int64_t max, int64_t& value);

private:
  std::vector<std::string> words_;
  size_t next_ = 0;
  Reply& reply_;
};

}  // namespace Sim
}  // namespace Board
