#pragma once
// The multichannel HDLC controller "/dev/mcc/ctl". Each open file may
// allocate one channel; the channel is a point of the TDM switch (switch
// channel FirstChannel + index) and stays allocated until the file closes.
// Bytes the daemon writes are journaled per channel; a test hands bytes to
// a channel with "mcc receive", which the daemon then reads, one record per read.

#include "board/sim/Device.h"

#include <cstdint>
#include <deque>
#include <map>
#include <string>

namespace Board {
namespace Sim {

class Mcc : public Device {
public:
  static constexpr int32_t FirstChannel = 256;
  static constexpr unsigned Capacity = 32;
  static constexpr size_t JournalLimit = 4096;

  enum Request : uint32_t {
    AllocateRequest = 0x40144D00,
    TimeslotRequest = 0x20004D02,
    ResourcesRequest = 0x80104D03,
  };

  struct Allocation {
    unsigned file;  // the open file holding it
    uint32_t type;  // 0 data, 1 bri, 2 transparent, 3 SS7
  };

  struct Written {
    int32_t channel;
    std::string bytes;
  };

  Mcc();

  void closed(OpenFile&) override;
  ssize_t write(OpenFile&, const uint8_t* data, size_t len) override;
  int ioctl(OpenFile&, uint32_t request, uint8_t* record, size_t len) override;
  int ioctlValue(OpenFile&, uint32_t request, unsigned long value) override;
  std::vector<Command> commands() const override;

  // Allocated channels by switch channel.
  const std::map<int32_t, Allocation>& channels() const { return channels_; }
  const std::deque<Written>& journal() const { return journal_; }
  // What the resources request answers: free data, bri and transparent channels.
  void setResources(int32_t data, int32_t bri, int32_t trans);
  // Hands bytes to the daemon on a channel; false when it is not allocated.
  bool receive(int32_t channel, const std::string& bytes);

protected:
  void resetState() override;

private:
  int32_t channelOf(unsigned file) const;

  std::map<int32_t, Allocation> channels_;
  std::deque<Written> journal_;
  int32_t resources_[3] = {16, 8, 8};
};

}  // namespace Sim
}  // namespace Board
