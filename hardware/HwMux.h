#pragma once
// The board's TDM switch behind "/dev/hal": any channel can be made the
// source of an output, an output can be switched off, driven with a
// constant byte, or read back. HwMux is the one object that drives it.
//
// Channels below 8192 are trunk side (E1 trunk n timeslot t is 32n + t);
// bus channels are 8192 + 128 * bus + timeslot, 8192..10239. A negative
// channel stands for none and is refused by every operation.
//
// The switch keeps a shadow of the bus outputs (what each was last told)
// and, from a deferred call, keeps switching off the outputs it believes
// off, 128 per run, so an output left on by a driver glitch does not stay on.

#include <array>
#include <cstdint>

#include "board/dev/Hal.h"
#include "foundation/eventloop/Dpc.h"
#include "server/slot/TdmSwitch.h"

class HwMux : public TdmSwitch {
public:
  static constexpr int FirstOutput = Board::Dev::Hal::Switch::FirstBusChannel;
  static constexpr unsigned Outputs = Board::Dev::Hal::Switch::BusChannels;
  // Shadow entries besides a source channel.
  static constexpr uint16_t Driven = 0xFFFE;
  static constexpr uint16_t Off = 0xFFFF;
  // A-law silence, what a disconnected output carries.
  static constexpr unsigned char IdleByte = 0xD5;
  static constexpr unsigned RefreshPerRun = 128;

  // The process-wide switch; the first call opens the device and switches
  // every bus output off.
  static HwMux& instance();

  // A switch of its own (the process uses instance()); tries to open the device.
  HwMux();
  ~HwMux();
  HwMux(const HwMux&) = delete;
  HwMux& operator=(const HwMux&) = delete;

  // True when open; otherwise tries to open now (and then resets every output).
  bool IsOpened();

  // Makes `source` the input of `output`.
  bool Connect(int source, int output) override;
  // Drives `output` with the idle byte.
  bool Disconnect(int output) override;
  // Switches `output` off.
  bool Disable(int output);
  // Drives `channel` with `value`.
  bool Write(int channel, unsigned char value);
  // The byte on `channel`; 0xFF on any failure (also a valid byte).
  unsigned char Read(int channel);

  // The deferred call: refreshes the next RefreshPerRun shadow entries.
  void OnDPC();
  // Switches output FirstOutput + index off again when its entry says off.
  void RefreshChannel(unsigned index);

  // The shadow entry of a bus output (Off for channels outside the table).
  uint16_t Shadow(int output) const;
  unsigned Cursor() const { return cursor; }

private:
  static bool InTable(int channel) { return channel >= FirstOutput && channel < FirstOutput + int(Outputs); }
  void SetShadow(int channel, uint16_t value);
  // Issues a request with the switch record; its word is updated from the reply.
  int Request2(unsigned long request, int channel, int& word);

  int fd = -1;
  std::array<uint16_t, Outputs> shadow;
  uint32_t cursor = 0;
  Dpc dpc;
};
