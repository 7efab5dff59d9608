#pragma once
// The voice driver "/dev/voice": the driver version record (five words) the
// mixer reads, and the RTP channel count per codec type the RTP factory asks;
// a test may change both. A type the driver does not know fails with EINVAL.

#include "board/dev/Voice.h"
#include "board/sim/Device.h"

#include <array>
#include <cstdint>
#include <map>

namespace Board {
namespace Sim {

class Voice : public Device {
public:
  static constexpr size_t VersionWords = Dev::Voice::Version::Words;
  using Version = std::array<uint32_t, VersionWords>;

  Voice();

  const Version& version() const { return version_; }
  void setVersion(const Version& version) { version_ = version; }
  uint64_t versionQueries() const { return queries_; }

  struct Channels {
    int32_t count;
    uint64_t asked;  // count requests answered for the type
  };
  // By codec type (Dev::Voice::ChannelType).
  const std::map<uint32_t, Channels>& channels() const { return channels_; }

protected:
  void resetState() override;

private:
  static const Answer<Voice> requestTable[];
  static const Control<Voice> commandTable[];

  int getVersion(Call& call);
  int countChannels(Call& call);
  void stateCommand(Args& args, Reply& reply);
  void versionCommand(Args& args, Reply& reply);
  void channelsCommand(Args& args, Reply& reply);

  Version version_;
  std::map<uint32_t, Channels> channels_;
  uint64_t queries_ = 0;
};

}  // namespace Sim
}  // namespace Board
