#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/eventloop/ASyncConnect.h"
#include "foundation/eventloop/ASyncCopy.h"
#include "testing/Loop.h"
#include "testing/Loopback.h"

namespace {

using ASync::Connect;
using ASync::Copy;
using CopyOutcomes = std::vector<Copy::Status::Type>;
using ConnectOutcomes = std::vector<Connect::Status::Type>;
using Testing::PatienceMs;
using Testing::runUntil;

struct PipeEnds {
  PipeEnds() {
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK) == 0) {
      read = Fd(fds[0]);
      write = Fd(fds[1]);
    }
  }
  Fd read;
  Fd write;
};

std::string pattern(std::size_t size) {
  std::string text(size, '\0');
  for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + i * 7 % 26);
  return text;
}

Fd fileWith(const std::string& name, const std::string& content) {
  const char* root = std::getenv("SERVER_ROOT");
  const std::string path = std::string(root ? root : ".") + "/" + name;
  Fd out(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
  EXPECT_EQ(static_cast<ssize_t>(content.size()), ::write(out.get(), content.data(), content.size()));
  return Fd(::open(path.c_str(), O_RDONLY));
}

// The test's side of a copy: hears the outcomes and drains the destination.
class CopyTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { ::signal(SIGPIPE, SIG_IGN); }

  void SetUp() override { copy.Bind(&CopyTest::OnDone, this); }

  void OnDone(Copy::Status::Type status) { outcomes.push_back(status); }

  // Reads whatever the destination pipe holds while the loop runs.
  void drain(const Fd& from) {
    reader.Bind("CopyTest::OnReadable", &CopyTest::OnReadable, this);
    reader.Schedule(from, POLLIN);
  }
  void OnReadable(int fd, short revents) {
    if (!(revents & POLLIN)) return;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) received.append(buffer, static_cast<std::size_t>(n));
  }

  Copy copy;
  Event reader;
  CopyOutcomes outcomes;
  std::string received;
};

TEST_F(CopyTest, PumpsEveryByteThroughASmallBufferThenFlushes) {
  const std::string content = pattern(200000);
  PipeEnds destination;
  drain(destination.read);
  copy.set_bufsize(700);
  EXPECT_EQ(Copy::Status::Idle, copy.state());
  EXPECT_EQ(0, copy.Start(fileWith("copy-source", content), destination.write.dup()));
  // Some 300 passes of the loop, each a piece through the small buffer.
  ASSERT_TRUE(runUntil([&] { return !outcomes.empty(); }, PatienceMs));
  ASSERT_EQ(CopyOutcomes{Copy::Status::Done}, outcomes);
  runUntil([&] { return received.size() >= content.size(); }, PatienceMs);
  EXPECT_EQ(content, received);
  EXPECT_EQ(200000u, copy.total());
}

TEST_F(CopyTest, SourceAtEndOrStoppedStillFlushes) {
  PipeEnds source, destination;
  drain(destination.read);
  source.write.close();
  copy.Start(source.read.dup(), destination.write.dup());
  EXPECT_EQ(Copy::Status::Flushing, copy.state());
  EXPECT_TRUE(outcomes.empty());
  ASSERT_TRUE(runUntil([&] { return !outcomes.empty(); }));
  EXPECT_EQ(CopyOutcomes{Copy::Status::Done}, outcomes);

  // Stop ends a source that is still open; what was read still goes out.
  outcomes.clear();
  PipeEnds open;
  ASSERT_EQ(5, ::write(open.write.get(), "hello", 5));
  copy.Start(open.read.dup(), destination.write.dup());
  ASSERT_TRUE(runUntil([&] { return received == "hello"; }));
  EXPECT_TRUE(outcomes.empty());
  copy.Stop();
  ASSERT_TRUE(runUntil([&] { return !outcomes.empty(); }));
  copy.Stop();
  EXPECT_EQ(CopyOutcomes{Copy::Status::Done}, outcomes);

  // Without a flush mask the end is immediate.
  outcomes.clear();
  PipeEnds again;
  again.write.close();
  Copy::EventsParams noFlush;
  noFlush.flush = 0;
  copy.set_events(noFlush);
  copy.Start(again.read.dup(), destination.write.dup());
  EXPECT_EQ(CopyOutcomes{Copy::Status::Done}, outcomes);
}

TEST_F(CopyTest, FailuresOfEitherSide) {
  // A source that cannot be read before anything went out.
  const char* root = std::getenv("SERVER_ROOT");
  PipeEnds destination;
  copy.Start(Fd(::open(root ? root : ".", O_RDONLY | O_DIRECTORY)), destination.write.dup());
  EXPECT_EQ(CopyOutcomes{Copy::Status::Failed}, outcomes);

  // A destination whose reader is gone: the write's errno is kept.
  outcomes.clear();
  PipeEnds closedReader;
  closedReader.read.close();
  copy.Start(fileWith("copy-small", "some bytes"), closedReader.write.dup());
  EXPECT_EQ(CopyOutcomes{Copy::Status::Failed}, outcomes);
  EXPECT_EQ(EPIPE, copy.error());
}

// Fills the destination, then takes its reader away while data is buffered.
class HangUp {
public:
  explicit HangUp(Fd& reader) : mReader(reader) {}
  void OnTimer(Timer*) { mReader.close(); }
  Timer timer;

private:
  Fd& mReader;
};

TEST_F(CopyTest, DestinationHangingUpMidCopyAndReconfiguration) {
  PipeEnds full;
  copy.Start(fileWith("copy-large", pattern(300000)), full.write.dup());
  EXPECT_EQ(Copy::Status::Copying, copy.state());
  HangUp hangUp(full.read);
  hangUp.timer.set(10, &HangUp::OnTimer, &hangUp);
  ASSERT_TRUE(runUntil([&] { return !outcomes.empty(); }));
  EXPECT_EQ(CopyOutcomes{Copy::Status::Failed}, outcomes);
  EXPECT_EQ(0, copy.error());

  outcomes.clear();
  PipeEnds blocked;
  copy.Start(fileWith("copy-large", pattern(300000)), blocked.write.dup());
  copy.set_events(Copy::EventsParams());
  EXPECT_EQ(CopyOutcomes{Copy::Status::Aborted}, outcomes);
  copy.set_bufsize(512);
  EXPECT_EQ(1u, outcomes.size());
}

// The test's side of a connect.
class ConnectTest : public ::testing::Test {
protected:
  void SetUp() override { connect.Bind(&ConnectTest::OnDone, this); }

  void OnDone(Connect::Status::Type status, Fd socket) {
    outcomes.push_back(status);
    connected = socket.dup();
  }

  // A listener on a free loopback port; its "a.b.c.d:port" text.
  std::string listenOn(Fd& listener, int backlog) {
    port = 0;
    listener = Testing::listenLoopback(port);
    EXPECT_EQ(0, ::listen(listener.get(), backlog));
    return "127.0.0.1:" + std::to_string(port);
  }

  unsigned short port = 0;
  Connect connect;
  ConnectOutcomes outcomes;
  Fd connected;
};

TEST_F(ConnectTest, ConnectsToALoopbackListener) {
  Fd listener;
  connect.Start(listenOn(listener, 4), 5000);
  ASSERT_TRUE(runUntil([&] { return !outcomes.empty(); }));
  ASSERT_EQ(ConnectOutcomes{Connect::Status::Connected}, outcomes);
  ASSERT_TRUE(connected);
  Fd accepted(::accept(listener.get(), nullptr, nullptr));
  ASSERT_TRUE(accepted);
  ASSERT_EQ(2, ::write(connected.get(), "hi", 2));
  char buffer[2];
  EXPECT_EQ(2, ::read(accepted.get(), buffer, 2));
  EXPECT_EQ(0u, multiplexer.timer_count());
}

TEST_F(ConnectTest, RefusedOrUnparsableAddressesFail) {
  std::string closedPort;
  {
    Fd listener;
    closedPort = listenOn(listener, 1);
  }
  connect.Start(closedPort, 5000);
  ASSERT_TRUE(runUntil([&] { return !outcomes.empty(); }));
  EXPECT_EQ(ConnectOutcomes{Connect::Status::Failed}, outcomes);
  EXPECT_FALSE(connected);

  for (const char* bad : {"not-an-address:80", "127.0.0.1", ""}) {
    outcomes.clear();
    connect.Start(bad, 5000);
    EXPECT_EQ(ConnectOutcomes{Connect::Status::Failed}, outcomes) << bad;
    EXPECT_FALSE(connected);
    EXPECT_EQ(0u, multiplexer.timer_count());
  }
}

TEST_F(ConnectTest, TimeOutAndStopEndAPendingConnectOnce) {
  Testing::SteppedClock time(500000000);
  // A listener whose accept queue is full drops further handshakes.
  Fd listener;
  const std::string target = listenOn(listener, 0);
  Fd filler = Testing::connectLoopback(port);
  ASSERT_TRUE(filler);

  connect.Start(target, 3000);
  ASSERT_EQ(Connect::Status::Connecting, connect.state());
  const uint32_t started = Mux::milliseconds();
  ASSERT_TRUE(runUntil([&] { return !outcomes.empty(); }));
  EXPECT_EQ(ConnectOutcomes{Connect::Status::Failed}, outcomes);
  EXPECT_EQ(3000u, Mux::milliseconds() - started);
  EXPECT_FALSE(connected);

  outcomes.clear();
  connect.Start(target, 3000);
  connect.Stop();
  EXPECT_EQ(ConnectOutcomes{Connect::Status::Stopped}, outcomes);
  Testing::runFor(50);
  EXPECT_EQ(1u, outcomes.size());
  EXPECT_EQ(Connect::Status::Stopped, connect.state());
}

}  // namespace
