#pragma once
// Two small TCP servers that let outside tools exchange TPKT-framed messages
// with the daemon: TPKTTracer copies every message to all its clients (or
// answers only the client whose message is being delivered), TPKTTracerP2P
// keeps one connection per peer address and sends to a chosen peer.

#include <cstdint>
#include <list>

#include "foundation/eventloop/Event.h"
#include "foundation/os/INet4.h"

class TPKTTracer {
public:
  class Listener {
  public:
    virtual ~Listener() = default;
    virtual void OnTPKTMessage(const void* data, unsigned length) = 0;
  };

  static constexpr unsigned max_payload = 512;

  struct Connection {
    int reading = 1;  // 1 header, 0 payload
    unsigned expected = 4;
    unsigned received = 0;
    Event event;
    uint8_t buffer[max_payload];
  };
  using Position = std::list<Connection*>::iterator;

  TPKTTracer();
  ~TPKTTracer();
  TPKTTracer(const TPKTTracer&) = delete;
  TPKTTracer& operator=(const TPKTTracer&) = delete;

  void SetListener(Listener* listener) { listener_ = listener; }
  // Listens on every address at the port; false (no log line) on failure.
  bool Listen(unsigned short port);
  // One frame to the client being answered, or else to every client.
  void Send(const void* data, unsigned length);

  void OnEvent(int fd, short revents);
  void OnDataEvent(int fd, short revents);
  Position FindConnection(int fd);
  void CloseConnection(Position position);
  unsigned connections() const { return unsigned(connections_.size()); }

private:
  Listener* listener_ = nullptr;
  Event listenEvent_;
  std::list<Connection*> connections_;
  Position current_;
};

class TPKTTracerP2P {
public:
  class Listener {
  public:
    virtual ~Listener() = default;
    virtual void OnPeerConnected(const INet4::Addr& peer, int fd) = 0;
    virtual void OnPeerClosed(const INet4::Addr& peer) = 0;
    virtual void OnPeerMessage(const INet4::Addr& peer, const void* data, unsigned length) = 0;
  };

  static constexpr unsigned max_payload = 2048;

  struct Connection {
    int reading = 1;  // 1 header, 0 payload
    unsigned expected = 4;
    unsigned received = 0;
    Event event;
    INet4::Addr peer;
    uint8_t buffer[max_payload];
  };
  using Position = std::list<Connection*>::iterator;

  TPKTTracerP2P();
  ~TPKTTracerP2P();
  TPKTTracerP2P(const TPKTTracerP2P&) = delete;
  TPKTTracerP2P& operator=(const TPKTTracerP2P&) = delete;

  void SetListener(Listener* listener) { listener_ = listener; }
  bool Listen(unsigned short port);
  // The bytes sent (header included), -EFAULT without such a peer, -errno
  // on failure; a failed or short send closes that connection.
  int Send(const INet4::Addr& peer, const void* data, unsigned length);
  // 0, or -EFAULT without such a peer.
  int Close(const INet4::Addr& peer);
  bool IsConnected(const INet4::Addr& peer);

  void OnEvent(int fd, short revents);
  void OnDataEvent(int fd, short revents);
  Position FindConnection(int fd);
  Position FindConnection(const INet4::Addr& peer);
  void CloseConnection(Position position);

private:
  Listener* listener_ = nullptr;
  Event listenEvent_;
  std::list<Connection*> connections_;
  unsigned short port_ = 0;
};
