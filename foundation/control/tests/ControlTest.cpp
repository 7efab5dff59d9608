#include <gtest/gtest.h>
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/control/AcceptorNet.h"
#include "foundation/control/ConnectorNet.h"
#include "foundation/control/ServiceUnixForms.h"
#include "testing/Capture.h"
#include "testing/Frames.h"
#include "testing/Loop.h"
#include "testing/Loopback.h"

namespace {

using Testing::Client;
using Testing::count;
using Testing::freePort;
using Testing::PatienceMs;
using Testing::runFor;
using Testing::runUntil;
using Testing::tpkt;

class Sink : public Control::Notify {
public:
  void OnConnect() override { ++connects; }
  void OnDisconnect() override { ++disconnects; }
  void OnMessage(const char* data, int length) override { messages.emplace_back(data, size_t(length)); }
  int connects = 0;
  int disconnects = 0;
  std::vector<std::string> messages;
};

class ControlLink : public ::testing::Test {
protected:
  ControlLink() : out_(std::cout), log_(std::clog), err_(std::cerr) {}
  void TearDown() override { EXPECT_EQ(packet_pool().count(), 1024u); }

  bool logged(const std::string& what, int limit_ms = PatienceMs) {
    return runUntil([&] { return log_.str().find(what) != std::string::npos; }, limit_ms);
  }

  Testing::Capture out_;
  Testing::Capture log_;
  Testing::Capture err_;
  Sink sink;
};

class Controller : public ControlLink {
protected:
  void SetUp() override {
    port = freePort();
    acceptor.reset(new Control::AcceptorNetCheckConnection(port));
    acceptor->service_name("server");
    acceptor->Bind(&sink);
    ASSERT_TRUE(acceptor->Activate());
  }
  void TearDown() override {
    acceptor->Deactivate();
    acceptor->Disconnect();
    acceptor.reset();
    ControlLink::TearDown();
  }
  Client connect() {
    Client c = Client::tcp(port);
    int before = sink.connects;
    runUntil([&] { return sink.connects > before; });
    return c;
  }

  unsigned short port = 0;
  std::unique_ptr<Control::AcceptorNetCheckConnection> acceptor;
};

TEST_F(Controller, ExchangesFramesWithOneControllerAndRefusesASecond) {
  Client first = connect();
  ASSERT_EQ(acceptor->state(), Control::Service::State::Connected);
  EXPECT_EQ(acceptor->peer().rfind("127.0.0.1:", 0), 0u);
  EXPECT_EQ(out_.str(), "new connection from " + acceptor->peer() + "\n");

  // Two writes that cut the second frame in the middle.
  const std::string stream = tpkt("hello") + tpkt(std::string(4096, 'k')) + tpkt("");
  first.write(stream.substr(0, 100));
  ASSERT_TRUE(runUntil([&] { return sink.messages.size() == 1; }));
  first.write(stream.substr(100));
  ASSERT_TRUE(runUntil([&] { return sink.messages.size() == 3; }));
  EXPECT_EQ(sink.messages, (std::vector<std::string>{"hello", std::string(4096, 'k'), ""}));
  EXPECT_GE(acceptor->get_read_measure().counter(), 2u);

  acceptor->Send("ok!", 3);
  EXPECT_EQ(Testing::octets(first.read(7)), "03 00 00 07 6F 6B 21");
  EXPECT_EQ(acceptor->get_write_measure().counter(), 1u);

  // A second controller is taken and closed at once; the first is probed.
  Client second = Client::tcp(port);
  ASSERT_TRUE(logged("CheckConnectionState CheckConnection"));
  EXPECT_NE(log_.str().find("refuse connection from 127.0.0.1:"), std::string::npos);
  EXPECT_EQ(acceptor->check_state(), Control::AcceptorNetCheckConnection::CheckState::CheckConnection);
  EXPECT_TRUE(second.seesClose());
  EXPECT_EQ(sink.connects, 1);

  // The first answers its probes: the next check, a second on, returns to normal.
  ASSERT_TRUE(logged("CheckConnectionState Idle"));
  EXPECT_EQ(acceptor->check_state(), Control::AcceptorNetCheckConnection::CheckState::Idle);
  EXPECT_EQ(acceptor->state(), Control::Service::State::Connected);
  first.write(tpkt("still here"));
  ASSERT_TRUE(runUntil([&] { return sink.messages.size() == 4; }));
  EXPECT_EQ(sink.disconnects, 0);
}

TEST_F(Controller, DisconnectClosesTheSocketTowardsThePeer) {
  Client first = connect();
  std::string peer = acceptor->peer();
  acceptor->Disconnect();
  EXPECT_EQ(acceptor->state(), Control::Service::State::Deactivating);
  EXPECT_NE(log_.str().find("control connection " + peer + " closed.\n"), std::string::npos);
  EXPECT_TRUE(first.seesClose());
  // Nothing more is heard or sent until the loss has been handled.
  acceptor->Send("x", 1);
  EXPECT_EQ(sink.disconnects, 0);
  ASSERT_TRUE(runUntil([&] { return sink.disconnects == 1; }));
  EXPECT_EQ(acceptor->state(), Control::Service::State::Connecting);
  acceptor->Disconnect();
  EXPECT_EQ(count(log_.str(), "closed."), 2u);
  ASSERT_TRUE(runUntil([&] { return sink.disconnects == 2; }));
}

TEST_F(Controller, APeerThatGoesAwayIsNoticedAndReplaced) {
  Client first = connect();
  first.close();
  ASSERT_TRUE(runUntil([&] { return sink.disconnects == 1; }));
  EXPECT_EQ(acceptor->state(), Control::Service::State::Connecting);
  EXPECT_EQ(count(log_.str(), " closed."), 1u);
  Client second = connect();
  EXPECT_EQ(sink.connects, 2);
  second.write(tpkt("again"));
  ASSERT_TRUE(runUntil([&] { return sink.messages.size() == 1; }));
}

TEST_F(Controller, AConnectionTakenWhileDeactivatingIsClosed) {
  Client first = connect();
  Client late = Client::tcp(port);
  acceptor->Disconnect();
  out_.clear();
  acceptor->OnSocketEvent(-1, POLLIN);
  EXPECT_EQ(out_.str().rfind("new connection from 127.0.0.1:", 0), 0u);
  EXPECT_EQ(sink.connects, 1);
  EXPECT_TRUE(late.seesClose());
  EXPECT_TRUE(first.seesClose());
  ASSERT_TRUE(runUntil([&] { return sink.disconnects == 1; }));
}

class ControllerCheck : public ControlLink {
protected:
  Testing::PinnedClock clock_;
};

TEST_F(ControllerCheck, TheTickSeesAPeerWhoseSocketLeftEstablished) {
  unsigned short port = freePort();
  Control::AcceptorNetCheckConnection acceptor(port);
  acceptor.Bind(&sink);
  ASSERT_TRUE(acceptor.Activate());
  Client c = Client::tcp(port);
  ASSERT_TRUE(runUntil([&] { return sink.connects == 1; }));
  c.close();
  // Only the check timer runs here, never the socket's reader; a tick each
  // millisecond of real time until the kernel has taken the peer's close.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(PatienceMs);
  while (log_.str().find("tcp socket change state") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline) {
    poll(nullptr, 0, 1);
    clock_.advance(1000);
  }
  std::string peer = acceptor.peer();
  EXPECT_NE(log_.str().find("connection from " + peer + " closed: tcp socket change state.\n"), std::string::npos);
  EXPECT_NE(log_.str().find("control connection " + peer + " closed.\nCheckConnectionState Idle\n"), std::string::npos);
  // The loss itself is handled on the loop's next deferred-call run.
  EXPECT_EQ(sink.disconnects, 1);
  EXPECT_EQ(acceptor.state(), Control::Service::State::Connecting);
  acceptor.Deactivate();
}

TEST_F(ControllerCheck, ABusyPortIsRetriedEveryFiveSeconds) {
  unsigned short port = 0;
  Fd blocker = Testing::listenLoopback(port);
  Control::AcceptorNet acceptor(port);
  acceptor.Bind(&sink);
  ASSERT_TRUE(acceptor.Activate());
  const std::string line = "can't bind to socket: \"Address already in use\"  waiting...\n";
  EXPECT_EQ(err_.str(), line);
  clock_.advance(4999);
  EXPECT_EQ(count(err_.str(), line), 1u);
  clock_.advance(1);
  EXPECT_EQ(count(err_.str(), line), 2u);
  blocker.close();
  clock_.advance(5000);
  EXPECT_EQ(count(err_.str(), line), 2u);
  Client c = Client::tcp(port);
  ASSERT_TRUE(runUntil([&] { return sink.connects == 1; }));
  acceptor.Deactivate();
  acceptor.Disconnect();
  ASSERT_TRUE(runUntil([&] { return sink.disconnects == 1; }));
}

// An acceptor out of descriptors: accept() fails while the connection waits.
class ExhaustedAcceptor : public Control::AcceptorNet {
public:
  explicit ExhaustedAcceptor(int port) : Control::AcceptorNet(port) {}
  int failures = 1;
  int calls = 0;

protected:
  int accept_peer(int fd, INet4::Addr& peer) override {
    ++calls;
    if (failures > 0) {
      --failures;
      errno = EMFILE;
      return -1;
    }
    return Control::AcceptorNet::accept_peer(fd, peer);
  }
};

TEST_F(ControllerCheck, OutOfDescriptorsTheListenerRestsASecondInsteadOfSpinning) {
  ExhaustedAcceptor acceptor(freePort());
  acceptor.Bind(&sink);
  ASSERT_TRUE(acceptor.Activate());
  Client c = Client::tcp(acceptor.port());
  ASSERT_TRUE(runUntil([&] { return acceptor.calls == 1; }));
  runFor(50);
  EXPECT_EQ(acceptor.calls, 1) << "the still-pending connection must not be polled meanwhile";
  EXPECT_EQ(err_.str(), "can't accept connection: Too many open files, retrying in 1 s\n");
  clock_.advance(1000);
  ASSERT_TRUE(runUntil([&] { return sink.connects == 1; }));
  acceptor.Deactivate();
  acceptor.Disconnect();
  ASSERT_TRUE(runUntil([&] { return sink.disconnects == 1; }));
}

TEST_F(ControlLink, SendOutsideAConnectionIsRefused) {
  Control::ConnectorNet idle("127.0.0.1", 1);
  idle.Send("x", 1);
  EXPECT_EQ(log_.str(), "Control::Service::Send() ignore Send request in Idle state.\n");
  EXPECT_STREQ(Control::GetTextNotation(Control::Service::State::Type(7)), "Unknown");

  // Disconnect without a peer still goes through the loss.
  idle.Bind(&sink);
  idle.Disconnect();
  EXPECT_EQ(idle.state(), Control::Service::State::Deactivating);
  ASSERT_TRUE(runUntil([&] { return sink.disconnects == 1; }));
  EXPECT_EQ(idle.state(), Control::Service::State::Connecting);
  idle.Send("x", 1);
  EXPECT_NE(log_.str().find("ignore Send request in Connecting state."), std::string::npos);
  idle.Deactivate();
}

class Connector : public ControlLink {
protected:
  // Attempts so far: refusals seen at once or on the socket.
  size_t attempts() const { return count(err_.str(), "can't connect to ") + count(err_.str(), "fail to connect to "); }
  // Moves the clock; true once an attempt came (the loop may have to see its
  // refusal on the socket: a wait that ends when it does).
  bool attempt_after(unsigned ms) { return moved(ms, PatienceMs); }
  // Moves the clock; true when no attempt came. An attempt due would have
  // started within the move and been refused within the short look after.
  bool none_after(unsigned ms) { return !moved(ms, 200); }
  bool moved(unsigned ms, int lookMs) {
    size_t before = attempts();
    clock_.advance(ms);
    runUntil([&] { return attempts() > before || sink.connects > connects_; }, lookMs);
    connects_ = sink.connects;
    return attempts() > before;
  }

  Testing::PinnedClock clock_;
  int connects_ = 0;
};

TEST_F(Connector, RetriesQuicklySevenTimesThenSlowly) {
  unsigned short port = 0;
  const Fd refusing = Testing::bindLoopback(port, true);
  Control::ConnectorNet connector("127.0.0.1:" + std::to_string(port));
  connector.Bind(&sink);
  ASSERT_TRUE(connector.Activate());
  ASSERT_TRUE(runUntil([&] { return attempts() == 1; }, PatienceMs));
  EXPECT_NE(err_.str().find("127.0.0.1:" + std::to_string(port)), std::string::npos);
  for (int i = 0; i < 7; ++i) ASSERT_TRUE(attempt_after(1000)) << "quick retry " << i;
  EXPECT_TRUE(none_after(1000));
  // A refusal at once waits 20 s, one seen on the socket 15 s.
  bool refused_at_once = count(err_.str(), "can't connect to ") > 0;
  EXPECT_TRUE(none_after(refused_at_once ? 18999 : 13999));
  EXPECT_TRUE(attempt_after(1));
  EXPECT_EQ(connector.state(), Control::Service::State::Connecting);

  // A new activation starts the quick retries again.
  ASSERT_TRUE(connector.Activate());
  EXPECT_TRUE(attempt_after(1000));
  connector.Deactivate();
  EXPECT_EQ(connector.state(), Control::Service::State::Idle);
  EXPECT_TRUE(none_after(30000));
}

TEST_F(Connector, ReconnectsToAListenerThatComesAndGoes) {
  // Held between the listeners, so that no other program listens there.
  unsigned short port = 0;
  const Fd held = Testing::bindLoopback(port, true);
  Control::ConnectorNet connector("127.0.0.1", port);
  connector.Bind(&sink);
  ASSERT_TRUE(connector.Activate());
  ASSERT_TRUE(runUntil([&] { return attempts() == 1; }, PatienceMs));

  Fd listener = Testing::listenLoopback(port, true);
  ASSERT_TRUE(listener);
  attempt_after(1000);
  ASSERT_TRUE(runUntil([&] { return sink.connects == 1; }));
  EXPECT_EQ(connector.state(), Control::Service::State::Connected);
  EXPECT_EQ(connector.peer(), "127.0.0.1:" + std::to_string(port));
  Client agent(Fd(accept(listener.get(), nullptr, nullptr)));

  connector.Send("ping", 4);
  EXPECT_EQ(agent.read(8), tpkt("ping"));
  agent.write(tpkt("pong"));
  ASSERT_TRUE(runUntil([&] { return sink.messages.size() == 1; }));
  EXPECT_EQ(sink.messages[0], "pong");

  // The agent goes away: the connector tries again 10 s later.
  agent.close();
  listener.close();
  ASSERT_TRUE(runUntil([&] { return sink.disconnects == 1; }));
  EXPECT_EQ(connector.state(), Control::Service::State::Connecting);
  EXPECT_TRUE(none_after(9999));
  EXPECT_TRUE(attempt_after(1));

  // And gets through once the agent is back.
  listener = Testing::listenLoopback(port, true);
  ASSERT_TRUE(listener);
  for (int i = 0; i < 10 && sink.connects < 2; ++i) moved(1000, 200);
  EXPECT_TRUE(runUntil([&] { return sink.connects == 2; }, PatienceMs));
  connector.Deactivate();
}

class UnixLink : public ControlLink {
protected:
  std::string path(const char* name) const {
    const char* root = std::getenv("SERVER_ROOT");
    return std::string(root ? root : "/tmp") + "/" + name;
  }
  Testing::PinnedClock clock_;
};

TEST_F(UnixLink, AConnectorRetriesUntilItsAcceptorListensThenTheyExchangeFrames) {
  std::string where = path("control.sock");
  std::remove(where.c_str());
  Control::ConnectorUnix connector(where, path("client.sock"));
  connector.Bind(&sink);
  ASSERT_TRUE(connector.Activate());
  const std::string line = "can't connect to " + where + " : No such file or directory\n";
  EXPECT_EQ(err_.str(), line);
  clock_.advance(999);
  EXPECT_EQ(count(err_.str(), line), 1u);
  clock_.advance(1);
  EXPECT_EQ(count(err_.str(), line), 2u);

  // The acceptor takes the place of a stale file.
  std::ofstream(where) << "stale";
  Control::AcceptorUnix acceptor(where);
  Sink far;
  acceptor.Bind(&far);
  ASSERT_TRUE(acceptor.Activate());
  clock_.advance(1000);
  EXPECT_EQ(count(err_.str(), "can't"), 2u);
  EXPECT_EQ(connector.state(), Control::Service::State::Connected);
  EXPECT_EQ(connector.peer(), where);
  EXPECT_NE(log_.str().find("connected to " + where + "\n"), std::string::npos);
  ASSERT_TRUE(runUntil([&] { return far.connects == 1; }));
  EXPECT_EQ(acceptor.peer(), path("client.sock"));

  connector.Send("up", 2);
  acceptor.Send("down", 4);
  ASSERT_TRUE(runUntil([&] { return far.messages.size() == 1 && sink.messages.size() == 1; }));
  EXPECT_EQ(far.messages[0], "up");
  EXPECT_EQ(sink.messages[0], "down");

  // One peer at a time here too.
  Control::ConnectorUnix second(where);
  Sink refused;
  second.Bind(&refused);
  second.Activate();
  ASSERT_TRUE(logged("refuse connection from "));
  ASSERT_TRUE(runUntil([&] { return refused.disconnects == 1; }));

  // A lost connection is retried 10 s later.
  acceptor.Disconnect();
  ASSERT_TRUE(runUntil([&] { return sink.disconnects == 1 && far.disconnects == 1; }));
  clock_.advance(10000);
  ASSERT_TRUE(runUntil([&] { return far.connects == 2 && sink.connects == 2; }));
  second.Deactivate();
  connector.Deactivate();
  acceptor.Deactivate();
}

}  // namespace
