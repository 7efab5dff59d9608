#pragma once
// The multichannel HDLC controller "/dev/mcc/ctl". Each open file may
// allocate one channel; the channel is a point of the TDM switch (switch
// channel FirstChannel + index) and stays allocated until the file closes.
// One write is one frame (or data block) on the line, one read one frame
// from it. The line is the channel's far-end socket (MccFarEnds), another
// channel it is cabled to, or a test handing frames in with "mcc receive".
// Like a controller, the model never hands the daemon an empty frame nor one
// longer than the allocation's receive packet size: those are dropped and
// counted. Writes are journaled, and a channel's next writes can be refused
// with an errno, as a full or failing controller channel refuses them.

#include "board/dev/Mcc.h"
#include "board/sim/BoundedLog.h"
#include "board/sim/Device.h"
#include "board/sim/MccFarEnds.h"
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

  struct Counters {
    uint64_t txFrames = 0;  // written by the daemon
    uint64_t txBytes = 0;
    uint64_t txLost = 0;    // written while the far end could not take them
    uint64_t rxFrames = 0;  // read by the daemon
    uint64_t rxBytes = 0;
    uint64_t rxDropped = 0;  // empty, too long, or the daemon's queue full
  };

  // One allocated channel.
  struct Channel {
    int32_t channel = -1;  // its switch channel
    uint32_t type = 0;     // Dev::Mcc::Type
    uint32_t rxPacketSize = 0;
    Counters counters;
    int32_t cable = -1;  // the channel it is cabled to
    int refusal = 0;     // the errno the next `refusals` writes fail with
    unsigned refusals = 0;
  };

  struct Written {
    int32_t channel;
    std::string bytes;
  };

  Mcc();

  ssize_t write(OpenFile&, const uint8_t* data, size_t len) override;

  // Allocated channels: their types by switch channel.
  std::map<int32_t, uint32_t> channels() const;
  // Null when the channel is not allocated.
  const Channel* channel(int32_t number);
  const BoundedLog<Written>& written() const { return written_; }
  // What the resources request answers: free data, bri and transparent channels.
  void setResources(int32_t data, int32_t bri, int32_t trans);
  // Hands one frame from the line to the daemon on a channel; false when the
  // channel is not allocated or the frame was dropped.
  bool receive(int32_t channel, const std::string& frame);
  // Frames written on either channel reach the other; false when one is not allocated.
  bool cable(int32_t a, int32_t b);
  void uncable(int32_t channel);
  // The channel's next `count` writes fail with `err`; false when it is not allocated.
  bool refuse(int32_t channel, int err, unsigned count);
  // The daemon's descriptor of the channel reports a hang-up and end of file.
  bool hangUp(int32_t channel);
  using Device::hangUp;

protected:
  void resetState() override;

private:
  static const Answer<Mcc> requestTable[];
  static const Control<Mcc> commandTable[];

  Channel* find(int32_t number, const OpenFile** file = nullptr);
  void released(Channel& channel);
  int allocate(Call& call);
  int timeslot(Call& call);
  int freeChannels(Call& call);
  void channelsCommand(Args& args, Reply& reply);
  void writtenCommand(Args& args, Reply& reply);
  void resourcesCommand(Args& args, Reply& reply);
  void receiveCommand(Args& args, Reply& reply);
  void countersCommand(Args& args, Reply& reply);
  void cableCommand(Args& args, Reply& reply);
  void uncableCommand(Args& args, Reply& reply);
  void refuseCommand(Args& args, Reply& reply);
  void hangupCommand(Args& args, Reply& reply);
  void farEndCommand(Args& args, Reply& reply);
  int32_t channelArg(Args& args, Reply& reply);

  PerFile<Channel> allocations_;
  BoundedLog<Written> written_{JournalLimit};
  int32_t resources_[3] = {16, 8, 8};
  MccFarEnds farEnds_;
};

}  // namespace Sim
}  // namespace Board
