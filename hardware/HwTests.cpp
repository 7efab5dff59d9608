#include "hardware/HwTests.h"

#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "foundation/os/Ext.h"
#include "hardware/HwMux.h"

namespace {

// The switch settles before its bytes are read back.
constexpr useconds_t WriteSettleUs = 500;
constexpr useconds_t DisableSettleUs = 250;

unsigned char NextByte() { return static_cast<unsigned char>(random() & 0xFF); }

}  // namespace

HwTests& HwTests::instance() {
  static HwTests service;
  return service;
}

void HwTests::PutHeader(std::ostream& out) const { out << "bus " << bus << ": "; }

bool HwTests::OnCommand(const LGCP::Command& cmd) {
  if (cmd.currentSelection() != LGCP::Command::e_testBpc) return false;
  OnTestBpc(cmd.get_testBpc());
  return true;
}

void HwTests::OnTestBpc(const LGCP::BpcTestParams& params) {
  bus = params.get_bus().getValue();
  first = FirstBusChannel + BusTimeslots * bus + params.get_timeslot_start().getValue();
  end = first + params.get_timeslot_length().getValue();
  seed = params.get_seed().getValue();
  srandom(unsigned(seed));
  switch (params.get_mode().currentSelection()) {
    case LGCP::BpcTestMode::e_read:
      if (!ReadBack("test failed on channel ", " expected ", " read ")) return Error(LGCP::ErrorCause::busError);
      break;
    case LGCP::BpcTestMode::e_write:
      WriteRange();
      usleep(WriteSettleUs);
      srandom(unsigned(seed));
      if (!ReadBack("write failed on channel ", " write ", " written ")) return Error(LGCP::ErrorCause::busError);
      break;
    default:
      DisableRange();
      usleep(DisableSettleUs);
      break;
  }
  Success();
}

bool HwTests::ReadBack(const char* failed, const char* expected, const char* read) {
  HwMux& mux = HwMux::instance();
  for (uint32_t channel = first; channel < end; ++channel) {
    const unsigned char want = NextByte();
    const unsigned char got = mux.Read(int(channel));
    if (got == want) continue;
    std::cerr << ext::header(this) << failed << channel % BusTimeslots << expected << ext::OutBufInHex(&want, 1) << read
              << ext::OutBufInHex(&got, 1) << std::endl;
    return false;
  }
  return true;
}

void HwTests::WriteRange() {
  HwMux& mux = HwMux::instance();
  for (uint32_t channel = first; channel < end; ++channel) mux.Write(int(channel), NextByte());
}

void HwTests::DisableRange() {
  HwMux& mux = HwMux::instance();
  for (uint32_t channel = first; channel < end; ++channel) mux.Disable(int(channel));
}
