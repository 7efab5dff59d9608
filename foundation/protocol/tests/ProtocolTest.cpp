#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "foundation/protocol/Protocol.h"

namespace {

std::vector<std::string> events;

// A layer that records what reaches it and frames data with its tag byte.
class Layer : public Protocol {
public:
  Layer(std::string tag, unsigned header = 0) : tag_(std::move(tag)), header_(header) {}
  ~Layer() override { events.push_back(tag_ + " deleted"); }

  void local_prepare_head(Packet& p) override { p.reserve_head(header_); }
  void local_activate() override {
    events.push_back(tag_ + " local_activate");
    if (ready_) on_activate();
  }
  void local_deactivate() override {
    events.push_back(tag_ + " local_deactivate");
    Protocol::local_deactivate();
  }
  Protocol_status local_initialize() override {
    events.push_back(tag_ + " initialize");
    if (init_fails_) return new Protocol_initialize_error(this, tag_ + " failed");
    return Protocol::local_initialize();
  }
  void message(Packet& p) override {
    p.push(uint8_t(tag_[0]));
    transmit(p);
  }
  void receive(Packet& p) override {
    events.push_back(tag_ + " receive " + p.text());
    p.pull();
    on_message(p);
  }

  bool ready_ = true;
  bool init_fails_ = false;

private:
  std::string tag_;
  unsigned header_;
};

// The owner: hears everything that leaves the stack.
class Stack : public ProtocolsFamily {
public:
  void transmit(Packet& p) override { sent.push_back(p.text()); }
  void on_message(Packet& p) override { received.push_back(p.text()); }
  void on_activated(Protocol* p) override {
    events.push_back("owner activated");
    ProtocolsFamily::on_activated(p);
  }
  void on_deactivated(Protocol* p, Protocol_status status) override { deactivations.push_back({p, status}); }

  std::vector<std::string> sent;
  std::vector<std::string> received;
  std::vector<std::pair<Protocol*, Protocol_status>> deactivations;
};

class ProtocolStack : public ::testing::Test {
protected:
  void SetUp() override {
    events.clear();
    stack = new Stack;
    a = new Layer("A", 2);
    b = new Layer("B", 4);
    stack->add_protocol_tail(a);
    stack->add_protocol_tail(b);
  }
  void TearDown() override {
    delete stack;
    EXPECT_EQ(packet_pool().count(), 1024u);
  }

  Stack* stack;
  Layer* a;
  Layer* b;
};

Packet bytes(std::initializer_list<uint8_t> list) {
  Packet p;
  p.reserve_head(0);
  for (uint8_t v : list) p.put(v);
  return p;
}

TEST_F(ProtocolStack, DataGoesDownThroughEveryLayerAndUpToTheOwner) {
  Packet out;
  stack->prepare_head(out);
  EXPECT_EQ(out.headroom(), 6u);
  out.put(0x10);
  stack->message(out);
  EXPECT_EQ(stack->sent, std::vector<std::string>{"41 42 10"});

  Packet in = bytes({0x41, 0x42, 0x20});
  stack->receive(in);
  EXPECT_EQ(events, (std::vector<std::string>{"A receive 41 42 20", "B receive 42 20"}));
  EXPECT_EQ(stack->received, std::vector<std::string>{"20"});
}

TEST_F(ProtocolStack, ActivationRunsBottomUpAndReachesTheOwnerFromTheTop) {
  stack->activate();
  EXPECT_EQ(events, (std::vector<std::string>{"A local_activate", "B local_activate", "owner activated"}));

  // A layer that is not ready holds the activation.
  events.clear();
  a->ready_ = false;
  stack->activate();
  EXPECT_EQ(events, std::vector<std::string>{"A local_activate"});

  // A report from a layer other than the top is ignored by a family.
  events.clear();
  ProtocolsFamily inner;
  Layer* x = new Layer("X");
  Layer* y = new Layer("Y");
  inner.add_protocol_tail(x);
  inner.add_protocol_tail(y);
  Stack outer;
  outer.add_protocol_tail(&inner);
  inner.on_activated(x);
  EXPECT_TRUE(events.empty());
  inner.on_activated(y);
  EXPECT_EQ(events, std::vector<std::string>{"owner activated"});
  outer.remove(&inner);
}

TEST_F(ProtocolStack, OrderlyDeactivationComesFromTheBottomAFailureFromTheTop) {
  stack->deactivate();
  EXPECT_EQ(events, (std::vector<std::string>{"B local_deactivate", "A local_deactivate"}));
  ASSERT_EQ(stack->deactivations.size(), 1u);
  EXPECT_EQ(stack->deactivations[0].first, a);
  EXPECT_EQ(stack->deactivations[0].second->message(), "success");

  // A failure climbs with the same status and changes no layer's state.
  events.clear();
  Protocol_status error(new Protocol_status_error(a, "read error: boom"));
  a->on_deactivate(error);
  EXPECT_TRUE(events.empty());
  ASSERT_EQ(stack->deactivations.size(), 2u);
  EXPECT_EQ(stack->deactivations[1].first, b);
  EXPECT_EQ(stack->deactivations[1].second.get(), error.get());
  EXPECT_FALSE(error->success());
  std::ostringstream os;
  error->out(os);
  EXPECT_EQ(os.str(), "read error: boom");
  stack->on_status(error);
  b->on_status(error);
  EXPECT_EQ(stack->deactivations.size(), 2u) << "status reports are not losses";
}

TEST_F(ProtocolStack, InitialisationStopsAtTheFirstFailure) {
  EXPECT_TRUE(stack->initialize()->success());
  EXPECT_EQ(events, (std::vector<std::string>{"A initialize", "B initialize"}));

  events.clear();
  a->init_fails_ = true;
  EXPECT_EQ(stack->initialize()->message(), "A failed");
  EXPECT_EQ(events, std::vector<std::string>{"A initialize"});
  EXPECT_EQ(ProtocolsFamily().initialize()->message(), "error") << "an empty stack is no success";
}

TEST_F(ProtocolStack, DestructionRunsFromTheTopAndALayerLeavesOnItsOwn) {
  delete a;
  EXPECT_EQ(stack->bottom(), b);
  EXPECT_EQ(b->lower(), nullptr);
  stack->add_protocol_head(new Layer("C"));
  stack->add_protocol_tail(new Layer("D"));
  events.clear();
  delete stack;
  stack = new Stack;
  EXPECT_EQ(events, (std::vector<std::string>{"D deleted", "B deleted", "C deleted"}));
}

}  // namespace
