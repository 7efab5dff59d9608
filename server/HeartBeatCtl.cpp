#include "server/HeartBeatCtl.h"

#include <iostream>

#include "server/CtrlServer.h"

HeartBeatCtl& HeartBeatCtl::instance() {
  static HeartBeatCtl heartbeat;
  return heartbeat;
}

bool HeartBeatCtl::OnCommand(const LGCP::Command& cmd) {
  ResetTimeOut();
  if (cmd.currentSelection() != LGCP::Command::e_ping) return false;
  Success();
  return true;
}

void HeartBeatCtl::OnHeartbeatTimeout(Timer*) {
  std::clog << "heartbeat timeout!!!" << std::endl;
  CtrlSrv::ctrlServer.OnHeartbeatTimeout();
}

void HeartBeatCtl::PutHeader(std::ostream& out) const { out << "heartbeat: "; }

void HeartBeatCtl::ResetTimeOut() { timer.set(TimeoutMs, &HeartBeatCtl::OnHeartbeatTimeout, this); }
