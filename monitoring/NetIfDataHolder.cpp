#include "monitoring/NetIfDataHolder.h"

#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <numeric>

#include "board/Board.h"
#include "foundation/config/TraceCtl.h"
#include "foundation/os/Fd.h"

namespace {

constexpr size_t Samples = 3;
constexpr int AnyProtocol = 255;

void traceError(const char* what, int err) {
  if (traces.monitoring_internal) std::clog << what << " errno=\"" << std::strerror(err) << '"' << std::endl;
}

}  // namespace

int NetIfDataHolder::openSocket() { return Board::interfaceSocket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, AnyProtocol); }

bool NetIfDataHolder::updateNetIf() {
  const Fd socket(openSocket());
  if (!socket) {
    traceError("Error open socket: ", errno);
    return false;
  }
  ifreq request;
  std::memset(&request, 0, sizeof request);
  request.ifr_ifindex = index;
  if (Board::interfaceIoctl(socket.get(), SIOCGIFNAME, &request) < 0 ||
      Board::interfaceIoctl(socket.get(), SIOCGIFFLAGS, &request) < 0) {
    traceError("Error ioctl socket: ", errno);
    return false;
  }
  return setNetIfStatus((request.ifr_flags & IFF_RUNNING) ? 1 : 0);
}

bool NetIfDataHolder::setNetIfStatus(int sample) {
  samples.push_back(sample);
  while (samples.size() > Samples) samples.pop_front();
  const int now = std::accumulate(samples.begin(), samples.end(), 0) > 1 ? 1 : 0;
  const bool changed = now != running;
  running = now;
  operStatus = adminStatus = now == 1 ? 1 : 2;
  return changed;
}
