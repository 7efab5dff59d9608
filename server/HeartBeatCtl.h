#pragma once
// Drops a controller that falls silent: bound first, it sees every command
// and re-arms a 120 s timer on each; it answers ping itself. A controller
// that has not sent its first command yet is never timed out.

#include <iosfwd>

#include "foundation/eventloop/Timer.h"
#include "server/CtrlService.h"

class HeartBeatCtl : public CtrlSrv::Service {
public:
  static constexpr unsigned TimeoutMs = 120000;

  static HeartBeatCtl& instance();

  void OnConnect() override {}
  void OnDisconnect() override { timer.reset(); }
  bool OnCommand(const LGCP::Command& cmd) override;

  void OnHeartbeatTimeout(Timer*);
  void PutHeader(std::ostream& out) const;
  bool armed() const { return timer.active(); }

private:
  HeartBeatCtl() = default;
  void ResetTimeOut();

  Timer timer;
};
