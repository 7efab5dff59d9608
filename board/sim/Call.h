#pragma once
// One request of the daemon as a model sees it: the open file it came on,
// the request number, and the record or plain number it passes.

#include <cstddef>
#include <cstdint>
#include <string>

#include "board/Record.h"

namespace Board {
namespace Sim {

// One open file of a device. The daemon holds one end of a socket pair,
// the model keeps the other (peer) to write event records into.
struct OpenFile {
  unsigned id;     // unique on the board
  int accessMode;  // O_RDONLY, O_WRONLY or O_RDWR
  int peer;
  int pathNumber;  // the number in the path opened, for a device named by a pattern; else -1
};

// One request of the daemon, as a model's handler sees it.
class Call {
public:
  // A request with a record of `len` bytes (the request's full argument size).
  Call(OpenFile* file, uint32_t request, uint8_t* record, size_t len)
      : request(request), value(0), record(record), size(len), in(record, len), out(record, len), file_(file) {}
  // A request that passes a plain number in place of a record.
  Call(OpenFile* file, uint32_t request, unsigned long value)
      : request(request), value(value), record(nullptr), size(0), in(nullptr, 0), out(nullptr, 0), file_(file) {}

  // The open file it came on; a request on a socket has none.
  OpenFile& file() const { return *file_; }
  // The request goes into the device's journal: its name, then `text` when there is one.
  void journal(std::string text = std::string()) {
    journaled_ = true;
    text_ = std::move(text);
  }

  const uint32_t request;
  const unsigned long value;
  uint8_t* const record;
  const size_t size;
  RecordReader in;
  RecordWriter out;

private:
  friend class Device;
  OpenFile* file_;
  bool journaled_ = false;
  std::string text_;
};

// How the daemon passes a request's argument.
enum class Form { Record, Value };

}  // namespace Sim
}  // namespace Board
