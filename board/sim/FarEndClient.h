#pragma once
// A peer on the far end of a simulated HDLC controller channel, for tests and
// protocol peers in any process: one packet is one frame, without FCS.

#include <cstdint>
#include <string>

namespace Board {
namespace Sim {

class FarEndClient {
public:
  FarEndClient() = default;
  ~FarEndClient();
  FarEndClient(const FarEndClient&) = delete;
  FarEndClient& operator=(const FarEndClient&) = delete;

  // Connects to the channel's far end under SERVER_ROOT (or under `root`),
  // retrying until it accepts or `timeoutMs` has passed.
  bool connect(int32_t channel, int timeoutMs, const std::string& root = std::string());
  // The same on a socket's path (a QSIG D channel's far end).
  bool connectPath(const std::string& path, int timeoutMs);
  bool connected() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  void close();

  bool send(const std::string& frame);
  // The next frame; false on timeout or when the channel was freed.
  bool receive(std::string& frame, int timeoutMs = 2000);

private:
  int fd_ = -1;
};

}  // namespace Sim
}  // namespace Board
