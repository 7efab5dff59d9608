#include "media/AuthClient.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "board/Record.h"
#include "media/ModemFactory.h"

AuthClient::AuthClient(Fd socket, const INet4::Addr& peer, ModemFactory& factory)
    : socket(std::move(socket)), peer_(peer), factory(factory) {}

void AuthClient::Activate() {
  event.Bind("AuthClient::OnSocketEvent", &AuthClient::OnSocketEvent, this);
  event.Schedule(socket, POLLIN);
}

void AuthClient::OnDisconnect() {
  event.Release();
  socket.close();
}

void AuthClient::CheckDisconnect() {
  if (depth == 0 && !socket) factory.OnAuthSocketDisconnect(this);
}

void AuthClient::leave() {
  --depth;
  CheckDisconnect();
}

void AuthClient::OnSocketEvent(int, short revents) {
  ++depth;
  if (revents & (POLLERR | POLLHUP)) {
    OnDisconnect();
  } else if ((revents & POLLIN) && !receive()) {
    OnDisconnect();
  }
  leave();
}

bool AuthClient::receive() {
  while (socket) {
    const ssize_t n = ::read(socket.get(), buffer + readPos, wantedEnd - readPos);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return true;
    if (n <= 0) return false;
    readPos += size_t(n);
    if (readPos < wantedEnd) continue;
    const uint32_t length = Board::RecordReader(buffer, readPos).get(PppAuth::Header::Length);
    if (length < PppAuth::MinLength || length > PppAuth::MaxLength) return false;
    if (readPos < length) {
      wantedEnd = length;
      continue;
    }
    const attr record(buffer, length);
    session_ = record.session();
    readPos = 0;
    wantedEnd = 4;
    factory.OnAuth(record);
  }
  return true;
}

bool AuthClient::Send(const attr& record) {
  if (!socket) return false;
  ++depth;
  size_t done = 0;
  while (done < record.length()) {
    const ssize_t n = ::send(socket.get(), record.data() + done, record.length() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 1) {
      OnDisconnect();
      break;
    }
    done += size_t(n);
  }
  const bool sent = done == record.length();
  leave();
  return sent;
}
