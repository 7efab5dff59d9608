#pragma once
// A protocol stack is a list of layers. Data from the owner enters at the top
// and moves down (message, then transmit); data from the wire enters at the
// bottom and moves up (receive, then on_message). Activation runs bottom-up
// and reaches the owner when the top layer is active; an orderly
// deactivation runs top-down and is reported once by the bottom layer; a
// failure climbs from the failing layer to the owner. A ProtocolsFamily is
// itself a layer, so a whole stack can sit inside another.

#include <iosfwd>

#include "foundation/packet/Packet.h"
#include "foundation/protocol/Protocol_status.h"

class Protocol_name {
public:
  virtual ~Protocol_name() = default;
  virtual int kind() const = 0;
  virtual const char* name() const = 0;
  virtual bool compare(const Protocol_name& other) const = 0;
};

class Protocol_name_null : public Protocol_name {
public:
  int kind() const override { return 0; }
  const char* name() const override { return "(no name)"; }
  bool compare(const Protocol_name& other) const override { return other.kind() == 0; }
};

class Protocol_name_str : public Protocol_name {
public:
  explicit Protocol_name_str(const char* text) : text_(text ? text : "(no name)") {}
  int kind() const override { return 1; }
  const char* name() const override { return text_.c_str(); }
  bool compare(const Protocol_name& other) const override { return other.kind() == 1 && text_ == other.name(); }

private:
  std::string text_;
};

class Protocol_info {
public:
  virtual ~Protocol_info() = default;
  virtual bool compare_name(const Protocol_name&) const { return false; }
  virtual const Protocol_name& name() const { return name_; }

private:
  Protocol_name_null name_;
};

class ProtocolsList;

class Protocol : public Protocol_info {
public:
  Protocol() = default;
  Protocol(const Protocol&) = delete;
  Protocol& operator=(const Protocol&) = delete;
  // A layer still in a list leaves it.
  ~Protocol() override;

  // Header and trailer room this layer needs in a packet about to be sent.
  virtual void local_prepare_head(Packet& p) { p.reserve_head(0); }
  virtual void local_prepare_tail(Packet& p) { p.reserve_tail(0); }
  virtual Protocol_status local_initialize();
  virtual void local_activate() { on_activate(); }
  virtual void local_deactivate();

  // Downward: to the lower layer's message, or at the bottom to the owner.
  virtual void transmit(Packet& p);
  // Upward: to the upper layer's receive, or at the top to the owner.
  virtual void on_message(Packet& p);
  // This layer is active: activate the one above, or tell the owner.
  virtual void on_activate();
  // Success continues an orderly deactivation downward; failure climbs.
  virtual void on_deactivate(Protocol_status status);
  virtual void on_status(Protocol_status status);

  // Data from above and from below; a layer that carries data overrides them.
  virtual void message(Packet&) {}
  virtual void receive(Packet&) {}

  virtual void activate();
  virtual void deactivate() { local_deactivate(); }
  virtual void protocol_info(std::ostream&) const {}

  // Room for every header of this layer and the layers below it.
  void prepare_head(Packet& p);
  void prepare_tail(Packet& p);
  // Initialises the layers below first; the first failure is the result.
  Protocol_status initialize();

  Protocol* upper() const { return upper_; }
  Protocol* lower() const { return lower_; }
  ProtocolsList* owner() const { return owner_; }

private:
  friend class ProtocolsList;

  Protocol* upper_ = nullptr;
  Protocol* lower_ = nullptr;
  ProtocolsList* owner_ = nullptr;
};

// The layers of one stack, bottom first. Owns and deletes its layers.
class ProtocolsList : public Protocol {
public:
  ProtocolsList() = default;
  // Deletes the layers from the top down.
  ~ProtocolsList() override;

  virtual void on_activated(Protocol*) {}
  virtual void on_deactivated(Protocol*, Protocol_status) {}
  virtual void add_protocol_head(Protocol* p);
  virtual void add_protocol_tail(Protocol* p);

  // The first layer from the bottom whose compare_name accepts the name.
  Protocol* search(const Protocol_name& name) const;
  Protocol* bottom() const { return bottom_; }
  Protocol* top() const { return top_; }
  unsigned count() const { return count_; }
  // Unlinks a member; the caller owns it from then on.
  void remove(Protocol* p);

private:
  Protocol* bottom_ = nullptr;
  Protocol* top_ = nullptr;
  unsigned count_ = 0;
};

// A whole stack used as one layer.
class ProtocolsFamily : public ProtocolsList {
public:
  void local_prepare_head(Packet& p) override;
  void local_prepare_tail(Packet& p) override;
  Protocol_status local_initialize() override;
  void local_activate() override;
  void local_deactivate() override;
  void message(Packet& p) override;
  void receive(Packet& p) override;
  // Only the top layer's report makes the family active.
  void on_activated(Protocol* p) override;
  void on_deactivated(Protocol* p, Protocol_status status) override;
};
