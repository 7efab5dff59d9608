#pragma once
// The RTP engine "/dev/rtp". Every open file is one session, numbered from 1
// in opening order: begun with its connection record, then given a channel
// of the TDM switch (FirstChannel and up, the lowest free one, or the one the
// daemon asks back after a restart). A test queues events on a session with
// "rtp event"; a read returns one of them and fails with EAGAIN when none is
// queued, whatever the open flags. A session and its channel are released
// when the file's last descriptor closes. Every request goes into the journal
// with its session number and its record as the daemon passed it.

#include "board/dev/Rtp.h"
#include "board/sim/Device.h"
#include "board/sim/PerFile.h"

#include <cstdint>
#include <string>

namespace Board {
namespace Sim {

class Rtp : public Device {
public:
  static constexpr int32_t FirstChannel = 1024;
  static constexpr unsigned Capacity = 256;

  struct Session {
    unsigned number = 0;
    std::string record;  // the connection record it was begun with; empty before
    int32_t channel = -1;
    bool input = false;
    bool detector = false;  // packet detector on
    uint32_t detectorTimeout = 0;
  };

  Rtp();

  bool readsWait() const override { return false; }
  void opened(OpenFile& file) override;

protected:
  void resetState() override;

private:
  static const Answer<Rtp> requestTable[];
  static const Control<Rtp> commandTable[];

  int begin(Call& call);
  int addChannel(Call& call);
  int teardown(Call& call);
  int input(Call& call);
  int attach(Call& call);
  int detectorOn(Call& call);
  int detectorOff(Call& call);
  void sessionsCommand(Args& args, Reply& reply);
  void eventCommand(Args& args, Reply& reply);

  // The file's session, numbered when it has none (files opened before a reset).
  Session& of(const OpenFile& file);
  Session& of(Call& call) { return of(call.file()); }
  // Null when no open session has that number.
  const Session* session(unsigned number) const;
  // Queues an event on a session; false (with the reason) when it cannot.
  bool queue(unsigned session, uint32_t type, int32_t value, int32_t timeout, std::string& why);
  bool channelTaken(int32_t channel) const;

  PerFile<Session> sessions_;
  unsigned opened_ = 0;
};

}  // namespace Sim
}  // namespace Board
