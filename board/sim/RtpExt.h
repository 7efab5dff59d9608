#pragma once
// The RTP engine's header-extension device "/dev/rtp_ext". Every open file
// is one extension session, numbered from 1 in opening order: initialised
// with its extension type, then attached to an RTP session of the daemon
// (the descriptor must be an open "/dev/rtp" file when the process named is
// the daemon's own, or -1, and name that same file when the daemon detaches
// it with the same record). A write hands the engine one header block; a
// test hands blocks in with "rtp_ext receive", each with the source address
// and SSRC of the packet it came on. Blocks wait in the session's queue and
// reach the daemon's descriptor one at a time: the next one as soon as the
// daemon has read the one before and asks the packet-info request, whose
// answer is the source of the block the next read returns (its result the
// block's length, 0 when none is waiting). The source filter drops what
// comes from other addresses, waiting blocks included (a filter of 0.0.0.0
// lets everything through). Requests and writes
// go into the journal with their session number and record.

#include "board/dev/RtpExt.h"
#include "board/sim/Device.h"
#include "board/sim/PerFile.h"

#include <cstdint>
#include <deque>
#include <string>

namespace Board {
namespace Sim {

class RtpExt : public Device {
public:
  // Blocks a session holds for the daemon, at most.
  static constexpr size_t QueueLimit = 256;

  struct Block {
    uint32_t addr;  // network order
    uint32_t ssrc;
    std::string bytes;
  };

  struct Session {
    unsigned number = 0;
    std::string init;  // the init record; empty before
    bool attached = false;
    int32_t fdRtp = -1;
    int32_t pidRtp = -1;
    unsigned rtpFile = 0;  // the open file fdRtp named at attach; 0 for another process's
    uint32_t filter = 0;   // network order; 0 when none is set
    std::deque<Block> queue;
    bool handedOver = false;  // queue.front() is in the daemon's descriptor
    uint64_t filtered = 0;
  };

  RtpExt();

  bool readsWait() const override { return false; }
  void opened(OpenFile& file) override;
  ssize_t write(OpenFile& file, const uint8_t* data, size_t len) override;

protected:
  void resetState() override { opened_ = 0; }

private:
  static const Answer<RtpExt> requestTable[];
  static const Control<RtpExt> commandTable[];

  int init(Call& call);
  int attach(Call& call);
  int detach(Call& call);
  int packetInfo(Call& call);
  int setFilter(Call& call);
  int resetFilter(Call& call);
  void sessionsCommand(Args& args, Reply& reply);
  void receiveCommand(Args& args, Reply& reply);

  Session& of(const OpenFile& file);
  // The "/dev/rtp" file a descriptor of the daemon names now; 0 when none.
  static unsigned rtpFile(int32_t fd);
  // The descriptor attached no longer names the RTP session it named at attach.
  static bool stale(const Session& s);
  // Hands the next waiting block to the daemon once it has read the one before.
  void feed(const OpenFile& file, Session& s);
  // Journals the request with the session's number and record.
  Session& journaled(Call& call);

  PerFile<Session> sessions_;
  unsigned opened_ = 0;
};

}  // namespace Sim
}  // namespace Board
