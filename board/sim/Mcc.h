#pragma once
// The multichannel HDLC controller "/dev/mcc/ctl". Each open file may
// allocate one channel; the channel is a point of the TDM switch (switch
// channel FirstChannel + index) and stays allocated until the file closes.
// Bytes the daemon writes are journaled per channel; a test hands bytes to
// a channel with "mcc receive", which the daemon then reads, one record per read.

#include "board/dev/Mcc.h"
#include "board/sim/BoundedLog.h"
#include "board/sim/Device.h"
#include "board/sim/PerFile.h"

#include <cstdint>
#include <map>
#include <string>

namespace Board {
namespace Sim {

class Mcc : public Device {
public:
  static constexpr int32_t FirstChannel = 256;
  static constexpr unsigned Capacity = 32;
  static constexpr size_t JournalLimit = 4096;

  struct Allocation {
    int32_t channel;
    uint32_t type;  // Dev::Mcc::Type
  };

  struct Written {
    int32_t channel;
    std::string bytes;
  };

  Mcc();

  ssize_t write(OpenFile&, const uint8_t* data, size_t len) override;

  // Allocated channels: their types by switch channel.
  std::map<int32_t, uint32_t> channels() const;
  const BoundedLog<Written>& written() const { return written_; }
  // What the resources request answers: free data, bri and transparent channels.
  void setResources(int32_t data, int32_t bri, int32_t trans);
  // Hands bytes to the daemon on a channel; false when it is not allocated.
  bool receive(int32_t channel, const std::string& bytes);

protected:
  void resetState() override;

private:
  static const Answer<Mcc> requestTable[];
  static const Control<Mcc> commandTable[];

  int allocate(Call& call);
  int timeslot(Call& call);
  int freeChannels(Call& call);
  void channelsCommand(Args& args, Reply& reply);
  void writtenCommand(Args& args, Reply& reply);
  void resourcesCommand(Args& args, Reply& reply);
  void receiveCommand(Args& args, Reply& reply);

  PerFile<Allocation> allocations_;
  BoundedLog<Written> written_{JournalLimit};
  int32_t resources_[3] = {16, 8, 8};
};

}  // namespace Sim
}  // namespace Board
