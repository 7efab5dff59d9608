#pragma once
// The voice driver "/dev/voice", as far as the mixer uses it: the driver
// version record (five words), which a test may change.

#include "board/sim/Device.h"

#include <array>
#include <cstdint>

namespace Board {
namespace Sim {

class Voice : public Device {
public:
  static const uint32_t VersionRequest;
  static constexpr size_t VersionWords = 5;
  using Version = std::array<uint32_t, VersionWords>;

  Voice();

  int ioctl(OpenFile&, uint32_t request, uint8_t* record, size_t len) override;
  std::vector<Command> commands() const override;

  const Version& version() const { return version_; }
  void setVersion(const Version& version) { version_ = version; }
  uint64_t versionQueries() const { return queries_; }

protected:
  void resetState() override;

private:
  Version version_;
  uint64_t queries_ = 0;
};

}  // namespace Sim
}  // namespace Board
