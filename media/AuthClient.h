#pragma once
// One connection of a PPP daemon's authentication plug-in. Records are
// framed by their length word (12 to 512 bytes); each complete record goes
// to the factory, and the connection's session follows the last one. A
// record of another length ends the connection. The client is deleted only
// when none of its own handlers runs: a record delivered from its receive
// handler may lead to a send on the same client.

#include <cstddef>
#include <cstdint>

#include "foundation/eventloop/Event.h"
#include "foundation/os/Fd.h"
#include "foundation/os/INet4.h"
#include "media/PppAuth.h"

class ModemFactory;

class AuthClient {
public:
  AuthClient(Fd socket, const INet4::Addr& peer, ModemFactory& factory);
  AuthClient(const AuthClient&) = delete;
  AuthClient& operator=(const AuthClient&) = delete;

  // Starts watching the socket.
  void Activate();
  // Writes the whole record; false when the connection is closed or the write failed (which closes it).
  bool Send(const attr& record);
  void OnSocketEvent(int fd, short revents);
  // Closes the socket and stops watching.
  void OnDisconnect();
  // A closed client outside its own handlers goes back to the factory, which deletes it.
  void CheckDisconnect();

  int session() const { return session_; }
  const INet4::Addr& peer() const { return peer_; }

private:
  // Reads what the socket has; false when the connection has to end.
  bool receive();
  void leave();

  Event event;
  Fd socket;
  INet4::Addr peer_;
  int depth = 0;
  uint8_t buffer[PppAuth::MaxLength];
  size_t readPos = 0;
  size_t wantedEnd = 4;
  ModemFactory& factory;
  int session_ = -1;
};
