#pragma once
// A test device on the models' toolkit. Two probes give the same request
// number different meanings, as the board's drivers do; each open file keeps
// a count of the requests made on it.

#include "board/Board.h"
#include "board/Paths.h"
#include "board/Request.h"
#include "board/sim/Device.h"
#include "board/sim/PerFile.h"
#include "board/sim/Sim.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <cerrno>
#include <memory>
#include <string>
#include <vector>

// Declared as a write of one word, yet the probe's driver writes its answer back.
constexpr uint32_t ProbeRequest = Board::Request::iow('C', 1, 4);
// Passes a plain number in place of the pointer.
constexpr uint32_t ProbeValue = Board::Request::io('C', 2);
// A number in a driver's own scheme, which says nothing of the record's size.
constexpr uint32_t ProbeRawNumber = 0xBB16;
constexpr Board::Field<uint32_t> ProbeWord{0};

class Probe : public Board::Sim::Device {
public:
  using Call = Board::Sim::Call;
  using Args = Board::Sim::Args;
  using Reply = Board::Sim::Reply;

  Probe(const char* name, const char* path, bool answers)
      : Device(name, path, Board::Sim::JournalCommands | Board::Sim::RawCommand | Board::Sim::HangupCommand),
        requestsPerFile(*this, [this](unsigned& n) { released.push_back(n); }),
        answers_(answers) {
    static const Board::Sim::Answer<Probe> requests[] = {
        {ProbeRequest, "word", &Probe::word},
        {ProbeValue, "value", &Probe::value, Board::Sim::Form::Value},
        {ProbeRawNumber, "raw-number", &Probe::word, Board::Sim::Form::Record, 4},
    };
    static const Board::Sim::Control<Probe> commands[] = {
        {"last", "", &Probe::lastCommand},          {"sum", "A B [C [D]]", &Probe::sumCommand},
        {"bytes", "HEX ...", &Probe::bytesCommand}, {"pair first", "N", &Probe::lastCommand},
        {"pair second", "", &Probe::lastCommand},
    };
    answer(this, requests);
    control(this, commands);
  }

  ssize_t write(Board::Sim::OpenFile&, const uint8_t* data, size_t len) override {
    written.assign(data, data + len);
    return ssize_t(len);
  }

  Board::Sim::PerFile<unsigned> requestsPerFile;
  uint32_t last = 0;
  unsigned lastFile = 0;
  int lastPathNumber = -2;
  unsigned long lastValue = 0;
  std::vector<uint8_t> written;
  std::vector<unsigned> released;  // the request counts of the files closed, in order

private:
  int word(Call& call) {
    last = call.in.get(ProbeWord);
    lastFile = call.file().id;
    lastPathNumber = call.file().pathNumber;
    ++requestsPerFile.of(call.file());
    // Journaled with its word; a word of 0 is refused, unjournaled.
    if (!last) return -EINVAL;
    call.journal(std::to_string(last));
    if (answers_) call.out.put(ProbeWord, last + 1);
    return 0;
  }
  int value(Call& call) {
    lastValue = call.value;
    ++requestsPerFile.of(call.file());
    call.journal();
    return 7;
  }
  void lastCommand(Args&, Reply& r) { r.line(std::to_string(last)); }
  void sumCommand(Args& a, Reply& r) {
    int64_t sum = a.number("a", -10, 10);
    sum += a.number("b", 0, 0xFF);
    sum += a.number("c", 0, 100, 1000);
    sum += a.number("d", 0, 100, 0);
    if (a) r.line(std::to_string(sum));
  }
  void bytesCommand(Args& a, Reply& r) {
    std::string all;
    while (a && a.more()) all += a.bytes("hex");
    if (a) r.line(std::to_string(all.size()));
  }

  bool answers_;
};

const char* const ProbePath = "/dev/test-probe";
const char* const OtherPath = "/dev/test-other";

// Three probes on a board at power-on: "probe", "other" (the same request
// numbers, no answers written back) and "unit" at a numbered path.
class ProbeBoard : public ::testing::Test {
protected:
  using Lines = std::vector<std::string>;

  void SetUp() override {
    Board::Sim::install(std::make_unique<Probe>("probe", ProbePath, true));
    Board::Sim::install(std::make_unique<Probe>("other", OtherPath, false));
    Board::Sim::install(std::make_unique<Probe>("unit", "/dev/test-unit%d/ctl", true));
    Board::Sim::reset();
  }
  static int open(const std::string& path, int flags = O_RDWR | O_NONBLOCK) {
    return Board::open(Board::Paths::path(path.c_str()).c_str(), flags);
  }
  // Runs fn on the probe at `path`, with the board locked.
  template <class F>
  static auto probe(F fn, const char* path = ProbePath) {
    return Board::Sim::with<Probe>(path, fn);
  }
};
