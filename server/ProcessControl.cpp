#include "server/ProcessControl.h"

#include <fstream>
#include <iostream>

#include "board/Paths.h"
#include "foundation/eventloop/Multiplexer.h"
#include "foundation/log/Daemon.h"
#include "foundation/os/Signal.h"
#include "foundation/os/Version.h"
#include "foundation/packet/Packet.h"
#include "server/slot/Slots.h"

std::atomic<bool> doDumpStatus{false};
std::atomic<bool> updateResources{false};

namespace {

static_assert(std::atomic<bool>::is_always_lock_free, "the signal flags must be safe in signal context");

void SigPipeHandler(int, siginfo_t*, void*) {}

void SigTermHandler(int, siginfo_t*, void*) { multiplexer.terminate(); }

void SigUsr2Handler(int, siginfo_t*, void*) { doDumpStatus = true; }

void SigHupHandler(int, siginfo_t*, void*) { updateResources = true; }

}  // namespace

void InstallSignalHandlers() {
  IPC::Signal::handle(SIGPIPE, SigPipeHandler, SA_RESTART);
  IPC::Signal::handle(SIGTERM, SigTermHandler, 0);
  IPC::Signal::handle(SIGINT, SigTermHandler, 0);
  IPC::Signal::handle(SIGUSR2, SigUsr2Handler, SA_RESTART);
  IPC::Signal::handle(SIGHUP, SigHupHandler, SA_RESTART);
}

void CheckSignals() {
  CheckDumpStatus();
  CheckUpdateResources();
}

void CheckDumpStatus() {
  if (!doDumpStatus.exchange(false)) return;
  std::ofstream out(Board::Paths::path(Board::Paths::StatusDump), std::ios::out | std::ios::trunc);
  if (!out) {
    std::cerr << "dump status error" << std::endl;
    return;
  }
  WriteStatusDump(out);
}

void CheckUpdateResources() {
  if (!updateResources.exchange(false)) return;
  std::clog << "update hardware resources" << std::endl;
  Slots::instance().UpdateHardwareResources();
}

void WriteStatusDump(std::ostream& out) {
  // The lines' fields read "min=.. max=.. avg=.. counter=..", where avg is no mean.
  out << "gateway server status (times in microseconds: min= the shortest, max= the longest, avg= the latest, "
         "counter= how many)\n";
  out << "version : " << Version::current << '\n';
  out << "packets : " << packet_pool().count() << " free of " << Packet_pool::size() << '\n';
  multiplexer.dump(out);
}

void RunDaemon() {
  Daemon::Params params;
  params.name = Daemon::Identity();
  Daemon::Init(params);
}
