#pragma once
// The far ends of the simulated HDLC controller's channels. While a channel
// is allocated it listens on a SOCK_SEQPACKET UNIX socket under the root
// directory (Paths::SimMccFarEnd with its switch channel). A peer connected
// there is the line: each frame or data block the daemon writes on the
// channel arrives as one packet, without FCS, and each packet the peer sends
// is one frame the daemon reads. One peer at a time: a newer connection
// replaces the older one, and freeing the channel closes both sockets.
//
// One thread of its own serves the sockets; like the control thread it takes
// the board's lock for everything it does. Every member runs with the board
// locked, the destructor included.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "board/Paths.h"

namespace Board {
namespace Sim {

class MccFarEnds {
public:
  // Called with the board locked for each packet a peer sends: the channel
  // and the packet, cut after MaxPacket + 1 bytes.
  using Receiver = std::function<void(int32_t channel, const std::string& packet)>;
  static constexpr size_t MaxPacket = 65536;

  // `pattern` places a channel's socket (a path of Paths with "%d").
  explicit MccFarEnds(Receiver receiver, const char* pattern = Paths::SimMccFarEnd);
  ~MccFarEnds();
  MccFarEnds(const MccFarEnds&) = delete;
  MccFarEnds& operator=(const MccFarEnds&) = delete;

  static std::string path(int32_t channel, const char* pattern = Paths::SimMccFarEnd);
  std::string where(int32_t channel) const;

  // Listens for the channel's peer; false, with errno, when the socket cannot be made.
  bool open(int32_t channel);
  void close(int32_t channel);
  void closeAll();

  enum class Sent { NoPeer, Delivered, Lost };
  // One packet to the channel's peer; Lost when its socket is full or gone.
  Sent send(int32_t channel, const std::string& packet);
  bool attached(int32_t channel) const;

private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace Sim
}  // namespace Board
