#pragma once
// The backplane test (testBpc): writes, reads back or switches off a range
// of bus channels of the TDM switch. The bytes come from the system's
// srandom()/random() sequence of the command's seed, so a controller that
// knows the seed knows every byte.

#include <cstdint>
#include <iosfwd>

#include "board/dev/Hal.h"
#include "server/CtrlService.h"

class HwTests : public CtrlSrv::Service {
public:
  static constexpr unsigned FirstBusChannel = Board::Dev::Hal::Switch::FirstBusChannel;
  static constexpr unsigned BusTimeslots = Board::Dev::Hal::Switch::BusTimeslots;

  static HwTests& instance();

  void OnConnect() override {}
  void OnDisconnect() override {}
  // Takes testBpc (after answering it).
  bool OnCommand(const LGCP::Command& cmd) override;

  void PutHeader(std::ostream& out) const;

private:
  HwTests() = default;
  void OnTestBpc(const LGCP::BpcTestParams& params);
  // Reads the range back against the sequence; false (logged) at the first mismatch.
  bool ReadBack(const char* failed, const char* expected, const char* read);
  void WriteRange();
  void DisableRange();

  uint32_t bus = 0;
  uint32_t first = 0;
  uint32_t end = 0;
  int32_t seed = 0;
};
