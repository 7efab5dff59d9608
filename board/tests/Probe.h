#pragma once
// Test devices: two drivers that give the same request number different
// meanings, as the board's drivers do.

#include "board/Record.h"
#include "board/Request.h"
#include "board/sim/Device.h"

#include <cerrno>
#include <string>
#include <vector>

// Declared as a write of one word, yet the probe's driver writes its answer back.
constexpr uint32_t ProbeRequest = Board::Request::iow('C', 1, 4);
// Passes a plain number in place of the pointer.
constexpr uint32_t ProbeValue = Board::Request::io('C', 2);

class Probe : public Board::Sim::Device {
public:
  Probe(const char* name, const char* path, bool answers) : Device(name, path), answers_(answers) {}

  int ioctl(Board::Sim::OpenFile& f, uint32_t request, uint8_t* record, size_t len) override {
    if (request != ProbeRequest) return -ENOTTY;
    Board::RecordReader in(record, len);
    last = in.u32(0);
    lastFile = f.id;
    if (answers_) Board::RecordWriter(record, len).u32(0, last + 1);
    return 0;
  }
  int ioctlValue(Board::Sim::OpenFile&, uint32_t request, unsigned long v) override {
    if (request != ProbeValue) return -ENOTTY;
    value = v;
    return 7;
  }
  ssize_t write(Board::Sim::OpenFile&, const uint8_t* data, size_t len) override {
    written.assign(data, data + len);
    return ssize_t(len);
  }
  std::vector<Board::Sim::Command> commands() const override {
    static const Board::Sim::Command table[] = {{"last", "", [](Device& d, const Board::Sim::Args&, Board::Sim::Reply& r) {
                                                  r.line(std::to_string(static_cast<Probe&>(d).last));
                                                }}};
    return {std::begin(table), std::end(table)};
  }

  uint32_t last = 0;
  unsigned lastFile = 0;
  unsigned long value = 0;
  std::vector<uint8_t> written;

private:
  bool answers_;
};
