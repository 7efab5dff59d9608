#include "hardware/HwMux.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <iostream>

#include "board/Board.h"
#include "board/DevicePaths.h"
#include "board/Record.h"

namespace Switch = Board::Dev::Hal::Switch;

HwMux& HwMux::instance() {
  static HwMux mux;
  return mux;
}

HwMux::HwMux() {
  shadow.fill(Off);
  std::clog << "hwMux: init" << std::endl;
  IsOpened();
  dpc.Bind(this, &HwMux::OnDPC);
}

HwMux::~HwMux() {
  if (fd >= 0) Board::close(fd);
  dpc.Deactivate();
}

bool HwMux::IsOpened() {
  if (fd >= 0) return true;
  fd = Board::open(GetHalDevName(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    std::clog << "hwMux: can't open device: " << std::strerror(errno) << std::endl;
    return false;
  }
  std::clog << "hwMux: device opened" << std::endl;
  for (unsigned i = 0; i < Outputs; ++i) {
    int unused = 0;
    Request2(Switch::Disable, FirstOutput + int(i), unused);
    shadow[i] = Off;
  }
  cursor = 0;
  dpc.Activate();
  ::usleep(500);
  return true;
}

int HwMux::Request2(unsigned long request, int channel, int& word) {
  uint8_t record[Switch::Record::Size];
  Board::RecordWriter out(record, sizeof record);
  out.put(Switch::Record::Channel, channel);
  out.put(Switch::Record::Word, word);
  const int r = Board::ioctl(fd, request, record);
  word = Board::RecordReader(record, sizeof record).get(Switch::Record::Word);
  return r;
}

void HwMux::SetShadow(int channel, uint16_t value) {
  // Only bus outputs have an entry; other channels go to the device as they are.
  if (InTable(channel)) shadow[unsigned(channel - FirstOutput)] = value;
}

bool HwMux::Connect(int source, int output) {
  if (!IsOpened() || source < 0 || output < 0) {
    std::clog << "hwMux: ERROR not opened" << std::endl;
    return false;
  }
  SetShadow(output, uint16_t(source));
  int word1 = source;
  if (Request2(Switch::Connect, output, word1) == 0) return true;
  std::clog << "hwMux: connect " << source << " -> " << output << " failed: " << std::strerror(errno) << std::endl;
  return false;
}

bool HwMux::Disconnect(int output) {
  if (!IsOpened() || output < 0) return false;
  SetShadow(output, Driven);
  int value = IdleByte;
  if (Request2(Switch::Write, output, value) == 0) return true;
  std::clog << "hwMux: disconnect failed " << output << " : " << std::strerror(errno) << std::endl;
  return false;
}

bool HwMux::Disable(int output) {
  if (!IsOpened() || output < 0) return false;
  SetShadow(output, Off);
  int unused = 0;
  if (Request2(Switch::Disable, output, unused) == 0) return true;
  std::clog << "hwMux: disable failed " << output << " : " << std::strerror(errno) << std::endl;
  return false;
}

bool HwMux::Write(int channel, unsigned char value) {
  if (!IsOpened() || channel < 0) return false;
  SetShadow(channel, Driven);
  int word1 = value;
  if (Request2(Switch::Write, channel, word1) == 0) return true;
  std::clog << "hwMux: write failed " << channel << " <- 0x" << std::hex << unsigned(value) << std::dec << " : "
            << std::strerror(errno) << std::endl;
  return false;
}

unsigned char HwMux::Read(int channel) {
  if (!IsOpened() || channel < 0) return 0xFF;
  int word1 = 255;
  if (Request2(Switch::Read, channel, word1) == 0) return static_cast<unsigned char>(word1 & 0xFF);
  const int err = errno;
  std::clog << "hwMux: read failed " << channel << " -> 0x" << std::hex << unsigned(word1) << std::dec << " : "
            << std::strerror(err) << std::endl;
  return 0xFF;
}

void HwMux::OnDPC() {
  if (fd < 0) return;
  for (unsigned n = 0; n < RefreshPerRun; ++n) {
    cursor = (cursor + 1) % Outputs;
    RefreshChannel(cursor);
  }
}

void HwMux::RefreshChannel(unsigned index) {
  if (index >= Outputs || shadow[index] != Off) return;
  int unused = 0;
  Request2(Switch::Disable, FirstOutput + int(index), unused);
}

uint16_t HwMux::Shadow(int output) const { return InTable(output) ? shadow[unsigned(output - FirstOutput)] : Off; }
