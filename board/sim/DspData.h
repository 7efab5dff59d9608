#pragma once
// The DSP data device "/dev/dsp-data": QSIG links towards a PBX. Each open
// file is one link, given at open the first free block of four switch
// channels from FirstChannel: its D channel, then the channels of B channels
// 0 to 2, each in use from its add request to its release. The D channel's
// line is its far-end socket (Paths::SimDspDataFarEnd with the D channel),
// or a test handing frames in with "dsp-data receive"; one write is one
// frame to the line, one read one frame from it. Frames are journaled; an
// empty frame never reaches the line, and the daemon is never handed one
// nor one longer than Dev::DspData::MaxFrame.

#include "board/dev/DspData.h"
#include "board/sim/BoundedLog.h"
#include "board/sim/Device.h"
#include "board/sim/MccFarEnds.h"
#include "board/sim/PerFile.h"

#include <cstdint>
#include <map>
#include <string>

namespace Board {
namespace Sim {

class DspData : public Device {
public:
  static constexpr int32_t FirstChannel = 512;
  static constexpr unsigned Links = 8;
  static constexpr size_t JournalLimit = 4096;
  static constexpr unsigned BChannels = Dev::DspData::BChannels;

  struct Link {
    int32_t dChannel = -1;
    int32_t b[BChannels] = {-1, -1, -1};  // the switch channel of each B channel in use
  };
  struct Written {
    int32_t channel;
    std::string bytes;
  };

  DspData();

  void opened(OpenFile& file) override;
  ssize_t write(OpenFile& file, const uint8_t* data, size_t len) override;

  // Every link by its D channel.
  std::map<int32_t, Link> links() const;
  const BoundedLog<Written>& written() const { return written_; }
  // Hands one frame from the line to the daemon; false when no link has that
  // D channel or the frame was dropped.
  bool receive(int32_t dChannel, const std::string& frame);

protected:
  void resetState() override;

private:
  static const Answer<DspData> requestTable[];
  static const Control<DspData> commandTable[];

  Link* find(int32_t dChannel, const OpenFile** file = nullptr);
  void released(Link& link);
  int dChannelQuery(Call& call);
  int addBChannel(Call& call);
  int releaseBChannel(Call& call);
  void linksCommand(Args& args, Reply& reply);
  void writtenCommand(Args& args, Reply& reply);
  void receiveCommand(Args& args, Reply& reply);
  void farEndCommand(Args& args, Reply& reply);
  int32_t linkArg(Args& args, Reply& reply);

  PerFile<Link> links_;
  BoundedLog<Written> written_{JournalLimit};
  MccFarEnds farEnds_;
};

}  // namespace Sim
}  // namespace Board
