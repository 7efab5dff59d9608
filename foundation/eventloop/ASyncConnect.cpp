#include "foundation/eventloop/ASyncConnect.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "foundation/os/INet4.h"

namespace ASync {

Connect::~Connect() { delete mHandler; }

void Connect::Bind(Handler* handler) {
  delete mHandler;
  mHandler = handler;
}

void Connect::Start(const std::string& address, unsigned timeoutMs) {
  mState = Status::Connecting;
  mSocket = Fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP));
  if (!mSocket || !mSocket.NonBlock()) return complete(Status::Failed);

  // Without this check a bad address would connect to this host.
  INet4::Addr peer;
  int port = -1;
  if (!peer.Assign(address, &port) || port < 0) return complete(Status::Failed);

  if (::connect(mSocket.get(), peer.sa(), INet4::Addr::size()) == 0) return complete(Status::Connected);
  if (errno != EINPROGRESS) return complete(Status::Failed);
  mEvent.Bind("Connect::OnSocketEvent", &Connect::OnSocketEvent, this);
  mEvent.Schedule(mSocket, POLLOUT);
  mTimer.set(timeoutMs, &Connect::OnTimeOut, this);
}

void Connect::Stop() { complete(Status::Stopped); }

void Connect::OnTimeOut(Timer*) { complete(Status::Failed); }

void Connect::OnSocketEvent(int fd, short revents) {
  if (revents & (POLLERR | POLLHUP | POLLNVAL)) return complete(Status::Failed);
  if (!(revents & POLLOUT)) return;
  int error = 0;
  socklen_t length = sizeof error;
  const bool failed = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0;
  complete(failed ? Status::Failed : Status::Connected);
}

void Connect::complete(Status::Type status) {
  if (mState != Status::Connecting) return;
  mState = status;
  Fd result = status == Status::Connected ? mSocket.dup() : Fd();
  mSocket.close();
  mEvent.Release();
  mEvent.UnBind();
  mTimer.reset();
  // Last: the handler may destroy this connector.
  if (mHandler) mHandler->Invoke(status, std::move(result));
}

}  // namespace ASync
