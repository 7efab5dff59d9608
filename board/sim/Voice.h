#pragma once
// The voice driver "/dev/voice", as far as the mixer uses it: the driver
// version record (five words), which a test may change.

#include "board/dev/Voice.h"
#include "board/sim/Device.h"

#include <array>
#include <cstdint>

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

protected:
  void resetState() override;

private:
  static const Answer<Voice> requestTable[];
  static const Control<Voice> commandTable[];

  int getVersion(Call& call);
  void stateCommand(Args& args, Reply& reply);
  void versionCommand(Args& args, Reply& reply);

  Version version_;
  uint64_t queries_ = 0;
};

}  // namespace Sim
}  // namespace Board
