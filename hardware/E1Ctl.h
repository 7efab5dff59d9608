#pragma once
// The four E1 trunks: reports each trunk's synchronisation status once a
// second from the framers' maintenance device, sets which trunks take their
// transmit clock as slaves, and carries channel-associated signalling (CAS)
// per trunk and timeslot, forwarding every change the CAS driver reports.

#include <cstdint>
#include <iosfwd>

#include "board/dev/Maintenance.h"
#include "foundation/eventloop/Event.h"
#include "foundation/eventloop/Timer.h"
#include "foundation/os/Fd.h"
#include "server/CtrlService.h"

class E1Ctl : public CtrlSrv::Service {
public:
  static constexpr unsigned Trunks = Board::Dev::Maintenance::Trunks;
  static constexpr unsigned StatusPeriodMs = 1000;

  static E1Ctl& instance();
  ~E1Ctl() override;

  void OnConnect() override;
  void OnDisconnect() override;
  // Takes ioctl (acting on cas) and trunkCfg, and answers both with success.
  bool OnCommand(const LGCP::Command& cmd) override;

  void PutHeader(std::ostream& out) const;
  uint32_t TransmitClockMask() const { return tclk; }
  bool CasOpen(unsigned trunk) const { return trunk < Trunks && casOpen[trunk]; }

private:
  E1Ctl() = default;

  // Opens the device when it is not open; a failure is logged once until it opens again.
  bool IsMaintenanceOpen();
  void SendStatus();
  void SetTimer();
  void OnCheckStatus(Timer*);
  void SetMode(const LGCP::TrunkCfg& cfg);
  void UpdateTclk();

  // As IsMaintenanceOpen, for the CAS device.
  bool CheckOpenCas();
  void CloseCas();
  void OnUpdateCas(int fd, short revents);
  void HandleCas(const LGCP::IoctlParams& params);
  void CasOpenChannel(int trunk, int timeslot, int tx);
  void CasCloseChannel(int trunk, int timeslot);
  void CasSetChannel(int trunk, int timeslot, int tx);
  void CasGetChannel(int trunk, int timeslot);
  // Opens the trunk (or reports it open); false when the open failed.
  bool CasOpenTrunk(int trunk);
  // A channel request on the CAS device, its result (0 or -1). Only the
  // open-or-close request carries an operation word.
  static constexpr int NoOperation = -1;
  int CasChannelRequest(unsigned long request, int trunk, int timeslot, int tx, int operation);
  void SendCas(int trunk, int timeslot, int rx, int tx);

  int maintenance = -1;
  // The error of the last failed open; 0 once a device opens.
  int maintenanceError = 0;
  int casError = 0;
  Timer timer;
  Fd cas;
  Event casEvent;
  uint32_t tclk = 0;
  int casOpen[Trunks] = {};
};
