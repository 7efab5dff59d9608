#pragma once
// A control connection: one stream connection to one peer, framed by TPKT,
// through which whole messages are sent and received. The variants differ
// only in how they get the socket (listening or connecting, TCP or UNIX).
// The owner implements Notify; a loss reaches it on a later pass of the main
// loop, never inside the stack's own call chain.

#include <string>

#include "foundation/eventloop/Dpc.h"
#include "foundation/eventloop/Measure.h"
#include "foundation/os/Fd.h"
#include "foundation/os/INet4.h"
#include "foundation/protocol/Protocol.h"
#include "foundation/protocol/StrmProtocol.h"

namespace Control {

class Notify {
public:
  virtual ~Notify() = default;
  virtual void OnConnect() = 0;
  virtual void OnDisconnect() = 0;
  // One frame's payload.
  virtual void OnMessage(const char* data, int length) = 0;
};

class Service : private ProtocolsFamily {
public:
  struct State {
    enum Type { Idle = 0, Connecting = 1, Deactivating = 2, Connected = 3 };
  };

  ~Service() override;

  // Starts listening or connecting (after a Deactivate); false leaves Idle.
  bool Activate();
  void Deactivate();
  // Closes the connection unless it is already going; the owner then hears
  // OnDisconnect on a later pass.
  void Disconnect();
  // One frame to the peer, when connected.
  void Send(const char* data, int length);

  void Bind(Notify* notify) { notify_ = notify; }
  void UnBind() { notify_ = nullptr; }
  void service_name(const std::string& name) { strm_->service_name(name); }
  const std::string& service_name() const { return strm_->service_name(); }
  // Closes the connected socket without telling anyone.
  void Release() { strm_->release(); }

  State::Type state() const { return state_; }
  // The peer's address text (TCP) or socket path (UNIX), set on connection.
  const std::string& peer() const { return peer_; }
  bool verbose() const { return verbose_; }
  unsigned GetOverflowCounter() const { return strm_->overflow_counter(); }
  const Measure& get_read_measure() const { return strm_->read_measure(); }
  const Measure& get_write_measure() const { return strm_->write_measure(); }

protected:
  explicit Service(bool verbose);

  virtual bool ImplActivate() = 0;
  virtual void ImplDeactivate() = 0;
  virtual void ImplOnDisconnect() = 0;

  // Takes a connected socket: state Connected, stack active, OnConnect.
  void attach_connection(const Fd& socket, const std::string& peer);

  void on_message(Packet& p) override;
  void on_activated(Protocol*) override {}
  void on_deactivated(Protocol* p, Protocol_status status) override;

private:
  void OnDeactivateDPC();

  std::string peer_;
  bool verbose_;
  State::Type state_ = State::Idle;
  Notify* notify_ = nullptr;
  StrmProtocol* strm_;
  Dpc loss_;
};

// "Idle", "Connecting", "Deactivating", "Connected"; "Unknown" otherwise.
const char* GetTextNotation(Service::State::Type state);

// The TCP branch.
class ServiceNet : public Service {
public:
  using Peer = INet4::Addr;

  // Attaches a connected TCP socket, unless a loss is being handled.
  void Connected(const Fd& socket, const INet4::Addr& peer);
  const INet4::Addr& peer_address() const { return peer_address_; }

protected:
  explicit ServiceNet(bool verbose) : Service(verbose) {}

private:
  INet4::Addr peer_address_;
};

// The UNIX-domain branch.
class ServiceUnix : public Service {
public:
  // The peer's socket path.
  using Peer = std::string;

  // Attaches a connected socket, unless a loss is being handled.
  void Connected(const Fd& socket, const std::string& path);

protected:
  explicit ServiceUnix(bool verbose) : Service(verbose) {}
};

}  // namespace Control
