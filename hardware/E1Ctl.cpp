#include "hardware/E1Ctl.h"

#include <fcntl.h>
#include <poll.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "board/Board.h"
#include "board/DevicePaths.h"
#include "board/Record.h"
#include "board/dev/E1Cas.h"
#include "board/dev/Maintenance.h"
#include "foundation/os/Ext.h"

namespace {

namespace Maint = Board::Dev::Maintenance;
namespace Cas = Board::Dev::E1Cas;

// Timeslots that carry framing and the signalling multiframe, never a channel.
bool TrunkOnlyTimeslot(int timeslot) { return timeslot == 0 || timeslot == 16; }

constexpr int DeviceFlags = O_RDWR | O_NONBLOCK | O_CLOEXEC;

ACP::TrunkState::NamedNumber TrunkState(uint32_t value) {
  return value > ACP::TrunkState::disabled ? ACP::TrunkState::unknown : ACP::TrunkState::NamedNumber(value);
}

}  // namespace

E1Ctl& E1Ctl::instance() {
  static E1Ctl service;
  return service;
}

E1Ctl::~E1Ctl() {
  casEvent.Release();
  cas.close();
  timer.reset();
  if (maintenance >= 0) Board::close(maintenance);
}

void E1Ctl::PutHeader(std::ostream& out) const { out << "E1: "; }

void E1Ctl::OnConnect() {
  SendStatus();
  SetTimer();
  tclk = 0;
  UpdateTclk();
  CheckOpenCas();
}

void E1Ctl::OnDisconnect() {
  for (unsigned trunk = 0; trunk < Trunks; ++trunk) {
    if (casOpen[trunk]) CasCloseChannel(int(trunk), 0);
  }
}

bool E1Ctl::OnCommand(const LGCP::Command& cmd) {
  switch (cmd.currentSelection()) {
    case LGCP::Command::e_ioctl:
      HandleCas(cmd.get_ioctl());
      Success();
      return true;
    case LGCP::Command::e_trunkCfg:
      SetMode(cmd.get_trunkCfg());
      Success();
      return true;
    default: return false;
  }
}

bool E1Ctl::IsMaintenanceOpen() {
  if (maintenance >= 0) return true;
  maintenance = Board::open(GetMaintenance(), DeviceFlags);
  if (maintenance >= 0) {
    maintenanceError = 0;
    return true;
  }
  // Kept before the line is written: writing it may change errno.
  const int error = errno;
  if (!maintenanceError)
    std::cerr << ext::header(this) << "maintenance interface open fail: " << std::strerror(error) << std::endl;
  maintenanceError = error;
  return false;
}

void E1Ctl::SendStatus() {
  if (!IsMaintenanceOpen()) return;
  for (unsigned trunk = 0; trunk < Trunks; ++trunk) {
    uint8_t record[Maint::Status::Size] = {};
    Board::RecordWriter(record, sizeof record).put(Maint::Status::Trunk, trunk);
    if (Board::ioctl(maintenance, Maint::SyncStatus, record) < 0) {
      std::cerr << ext::header(this) << "synchronization status read fail, trunk = " << trunk
                << " cause = " << std::strerror(errno) << std::endl;
      continue;
    }
    Board::RecordReader in(record, sizeof record);
    LGCP::Signal sig;
    ACP::TrunkStatus& status = sig.select_trunkStatus();
    status.set_trunk(int(trunk));
    status.set_state(TrunkState(in.get(Maint::Status::State)));
    status.set_slips(in.get(Maint::Status::Slips));
    status.set_lossBF(in.get(Maint::Status::LossBF));
    status.set_lossCarrier(in.get(Maint::Status::LossCarrier));
    status.set_lossAIS(in.get(Maint::Status::LossAIS));
    status.set_lossRAI(in.get(Maint::Status::LossRAI));
    status.set_name("");
    status.set_clockMaster(false);
    status.set_type(ACP::TrunkType::e1);
    SendSignal(sig);
  }
}

void E1Ctl::SetTimer() { timer.set(StatusPeriodMs, &E1Ctl::OnCheckStatus, this); }

void E1Ctl::OnCheckStatus(Timer*) {
  SendStatus();
  CheckOpenCas();
  SetTimer();
}

void E1Ctl::SetMode(const LGCP::TrunkCfg& cfg) {
  const int trunk = cfg.get_trunk().getValue();
  if (trunk < 0) return;
  // The mask has one bit per trunk up to 31; a higher trunk has no bit to change.
  if (trunk < 32) {
    const uint32_t bit = 1u << trunk;
    if (cfg.get_mode().get() == LGCP::TrunkMode::slave)
      tclk |= bit;
    else
      tclk &= ~bit;
  }
  UpdateTclk();
}

void E1Ctl::UpdateTclk() {
  const int failure = !IsMaintenanceOpen()                                             ? maintenanceError
                      : Board::ioctlValue(maintenance, Maint::TransmitClock, tclk) < 0 ? errno
                                                                                       : 0;
  if (failure)
    std::cerr << ext::header(this) << "fail to set TCLK [cause=" << std::strerror(failure) << "]" << std::endl;
  else
    std::clog << ext::header(this) << "TCLT = " << ext::OutUnsignedInHex(tclk) << std::endl;
}

bool E1Ctl::CheckOpenCas() {
  if (cas) return true;
  const int fd = Board::open(GetE1CasDevName(), DeviceFlags);
  if (fd < 0) {
    const int error = errno;
    if (!casError) std::cerr << ext::header(this) << "cas interface open fail: " << std::strerror(error) << std::endl;
    casError = error;
    return false;
  }
  casError = 0;
  cas = Fd(fd);
  std::clog << ext::header(this) << "cas interface opened!" << std::endl;
  casEvent.Bind("E1/Cas", &E1Ctl::OnUpdateCas, this);
  casEvent.Schedule(cas, POLLIN);
  return true;
}

// A dead descriptor leaves the poll set at once; the status timer opens the
// device again. The trunks opened through it went with it.
void E1Ctl::CloseCas() {
  casEvent.Release();
  cas.close();
  for (int& open : casOpen) open = 0;
}

void E1Ctl::OnUpdateCas(int fd, short revents) {
  if (revents & (POLLERR | POLLHUP | POLLNVAL)) {
    std::clog << ext::header(this) << "cas interface lost: " << PollEventAsText(revents) << std::endl;
    return CloseCas();
  }
  if (!(revents & POLLIN)) return;
  for (;;) {
    uint8_t record[Cas::Channel::Size];
    const ssize_t n = Board::read(fd, record, sizeof record);
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;
      std::clog << ext::header(this) << "cas interface lost: read: " << std::strerror(errno) << std::endl;
      return CloseCas();
    }
    if (n == 0) {
      std::clog << ext::header(this) << "cas interface lost: end of file" << std::endl;
      return CloseCas();
    }
    if (size_t(n) != Cas::Channel::Size) continue;
    Board::RecordReader in(record, sizeof record);
    SendCas(in.get(Cas::Channel::Trunk), in.get(Cas::Channel::Timeslot), in.get(Cas::Channel::Rx),
            in.get(Cas::Channel::Tx));
  }
}

void E1Ctl::HandleCas(const LGCP::IoctlParams& params) {
  if (params.currentSelection() != LGCP::IoctlParams::e_cas) return;
  if (!CheckOpenCas()) {
    std::cerr << ext::header(this) << "cas command fail: (interface not opened) " << std::strerror(casError)
              << std::endl;
    return;
  }
  const LGCP::CasCommand& command = params.get_cas();
  const int trunk = command.get_channel().get_path().getValue();
  const int timeslot = command.get_channel().get_timeslot().getValue();
  if (unsigned(trunk) >= Trunks) return;
  const LGCP::CasCommandSignal& cmd = command.get_cmd();
  switch (cmd.currentSelection()) {
    case LGCP::CasCommandSignal::e_open: return CasOpenChannel(trunk, timeslot, cmd.get_open().getValue());
    case LGCP::CasCommandSignal::e_close: return CasCloseChannel(trunk, timeslot);
    case LGCP::CasCommandSignal::e_set: return CasSetChannel(trunk, timeslot, cmd.get_set().getValue());
    case LGCP::CasCommandSignal::e_get: return CasGetChannel(trunk, timeslot);
    default: return;
  }
}

bool E1Ctl::CasOpenTrunk(int trunk) {
  if (casOpen[trunk]) {
    SendCas(trunk, 0, 0, 0);
    return true;
  }
  const int result = Board::ioctlValue(cas.get(), Cas::TrunkOpen, unsigned(trunk));
  SendCas(trunk, 0, result, 0);
  if (result < 0) {
    std::clog << ext::header(this) << "open cas signalling on trunk(" << trunk << ") - fail(" << result << ")"
              << std::endl;
    return false;
  }
  std::clog << ext::header(this) << "open cas signalling on trunk(" << trunk << ") - ok" << std::endl;
  casOpen[trunk] = 1;
  return true;
}

void E1Ctl::CasOpenChannel(int trunk, int timeslot, int tx) {
  if (!CasOpenTrunk(trunk) || TrunkOnlyTimeslot(timeslot)) return;
  const int result = CasChannelRequest(Cas::ChannelOpenClose, trunk, timeslot, tx & Cas::TxBits, Cas::OpenClose::Open);
  if (result < 0) return SendCas(trunk, timeslot, result, 0);
  CasGetChannel(trunk, timeslot);
}

void E1Ctl::CasCloseChannel(int trunk, int timeslot) {
  if (!casOpen[trunk]) return;
  if (timeslot == 0) {
    int result = Board::ioctlValue(cas.get(), Cas::TrunkClose, unsigned(trunk));
    // A report of 0 reads "opened": a closed trunk reports 1.
    if (result == 0) result = 1;
    SendCas(trunk, 0, result, 0);
    if (result < 0) return;
    casOpen[trunk] = 0;
  }
  if (TrunkOnlyTimeslot(timeslot)) return;
  const int result = CasChannelRequest(Cas::ChannelOpenClose, trunk, timeslot, 0, Cas::OpenClose::Close);
  if (result < 0)
    SendCas(trunk, timeslot, result, 0);
  else
    SendCas(trunk, timeslot, -1, 1);
}

void E1Ctl::CasSetChannel(int trunk, int timeslot, int tx) {
  if (!casOpen[trunk]) return;
  const int result = CasChannelRequest(Cas::ChannelSet, trunk, timeslot, tx & Cas::TxBits, NoOperation);
  if (result < 0) return SendCas(trunk, timeslot, result, 0);
  CasGetChannel(trunk, timeslot);
}

void E1Ctl::CasGetChannel(int trunk, int timeslot) {
  if (!casOpen[trunk]) return;
  uint8_t record[Cas::Channel::Size] = {};
  Board::RecordWriter out(record, sizeof record);
  out.put(Cas::Channel::Trunk, trunk);
  out.put(Cas::Channel::Timeslot, timeslot);
  const int result = Board::ioctl(cas.get(), Cas::ChannelGet, record);
  if (result < 0) return SendCas(trunk, timeslot, result, 0);
  Board::RecordReader in(record, sizeof record);
  SendCas(trunk, timeslot, in.get(Cas::Channel::Rx), in.get(Cas::Channel::Tx));
}

int E1Ctl::CasChannelRequest(unsigned long request, int trunk, int timeslot, int tx, int operation) {
  uint8_t record[Cas::OpenClose::Size] = {};
  Board::RecordWriter out(record, sizeof record);
  out.put(Cas::Channel::Trunk, trunk);
  out.put(Cas::Channel::Timeslot, timeslot);
  out.put(Cas::Channel::Tx, tx);
  if (operation != NoOperation) out.put(Cas::OpenClose::Operation, operation);
  return Board::ioctl(cas.get(), request, record);
}

void E1Ctl::SendCas(int trunk, int timeslot, int rx, int tx) {
  LGCP::Signal sig;
  LGCP::CasSignalling& cas = sig.select_cas();
  cas.get_channel().set_path(trunk);
  cas.get_channel().set_timeslot(timeslot);
  cas.set_rx(rx);
  cas.set_tx(tx);
  SendSignal(sig);
}
