// The PPP authentication proxy over real TCP: records split across and
// packed into segments, the request reaching the controller, the accept and
// address records back byte for byte, accounting, unknown sessions, and the
// lengths the framing takes.

#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include "media/tests/MediaSlots.h"
#include "testing/Frames.h"
#include "testing/Loopback.h"

using namespace media;

namespace {

std::string word(uint32_t w) { return {char(w >> 24), char(w >> 16), char(w >> 8), char(w)}; }

// A record of `length` bytes: the header, then the body padded with zeros.
std::string record(uint32_t length, uint32_t type, int32_t session, std::string body = "") {
  body.resize(length > 12 ? length - 12 : 0, '\0');
  return (word(length) + word(type) + word(uint32_t(session)) + body).substr(0, length);
}

std::string text64(const std::string& s) { return s + std::string(64 - s.size(), '\0'); }

// The controller's answer to a login on slot 2, and the accept and address records it gives session 3.
const std::string activate = R"(activate : modem : { remoteAddr "10.1.2.3", netmask "255.255.255.0", )"
                             R"(gateway "10.1.2.1", dns "10.1.2.2", mtu 1500 })";
const std::string answered =
    "00000010000000020000000300000001"
    "00000024000000030000000300000000"
    "0a010203ffffff000a0102010a010202000005dc";

class PppAuth : public SlotTest {
protected:
  void SetUp() override {
    SlotTest::SetUp();
    expect(cmd(2, R"(create : modem : { cid "1", cdid "" })"), {ok(2)});
    expect(cmd(2, "connect : 1"), {sig(2, "transmitter : active : 300"), sig(2, "receiver : active : 300"), ok(2)});
  }
  // A plug-in's connection, once the proxy took it.
  Fd plugIn() {
    Fd fd = Testing::connectLoopback(Board::Paths::authPort());
    EXPECT_TRUE(logged("incoming auth connection from 127.0.0.1:" + std::to_string(Testing::localPort(fd.get()))));
    return fd;
  }
  void send(const Fd& fd, const std::string& bytes) {
    ::send(fd.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    Testing::runFor(20);
  }
  // What the proxy wrote; "closed" once it closed the connection.
  std::string received(const Fd& fd) {
    Testing::runFor(20);
    char buf[1024];
    const ssize_t n = ::recv(fd.get(), buf, sizeof buf, MSG_DONTWAIT);
    // Closed with our bytes unread, it resets the connection.
    if (n == 0 || (n < 0 && errno == ECONNRESET)) return "closed";
    return Testing::hex(std::string(buf, size_t(n > 0 ? n : 0)));
  }
};

TEST_F(PppAuth, RecordsTravelBetweenThePlugInAndTheController) {
  const Fd fd = plugIn();
  // Until the plug-in has delivered a record its session is unknown.
  expect(cmd(2, activate), {ok(2)});
  EXPECT_EQ(Testing::count(logs.str(), "send error: unknown auth 3 session.\n"), 2u);

  const std::string request = record(140, 1, 3, text64("alice") + text64("secret"));
  send(fd, request.substr(0, 2));
  send(fd, request.substr(2, 70));
  send(fd, request.substr(72));
  expectNext({sig(2, R"(modemProceeding : auth : { username "alice", password "secret" })")});
  expect(cmd(2, activate), {ok(2)});
  EXPECT_EQ(received(fd), answered);

  // Accounting, and more in the same segment.
  std::string counters = std::string(12, 'x');
  for (uint32_t w : {1u, 0xFFFFFFFEu, 0u, 7u, 0u, 9u, 2u, 3u, 600u, 0u}) counters += word(w);
  send(fd, record(64, 4, 3, counters) + record(16, 7, 3) + record(12, 1, 9) + record(140, 1, 3, std::string(140, 'u')));
  expectNext({sig(2,
                  "modemProceeding : acct : { octetsOut { low -2, high 1 }, octetsIn { low 7, high 0 }, packetsOut "
                  "{ low 9, high 0 }, packetsIn { low 3, high 2 }, time { low 600, high 0 } }"),
              sig(2, "modemProceeding : auth : { username \"" + std::string(64, 'u') + "\", password \"" +
                         std::string(64, 'u') + "\" }")});
  EXPECT_TRUE(logged("02:dsp-modem: unknown request from portslave: 0x7\n"));
  EXPECT_TRUE(logged(",1]: receive auth request for unknown session 9\n"));
}

// Found by fuzzing: texts the controller's IA5 strings cannot carry. pppd waits for an answer all the same.
TEST_F(PppAuth, ALoginWithOctetsAbove0x7FReachesTheControllerWithQuestionMarks) {
  const Fd fd = plugIn();
  send(fd, record(140, 1, 3,
                  text64("al\x7F\x80"
                         "ce") +
                      text64("\xFF"
                             "pw\xE9")));
  expectNext({sig(2, "modemProceeding : auth : { username \"al\x7F?ce\", password \"?pw?\" }")});
  EXPECT_TRUE(logged("02:dsp-modem: auth request, user name or password not IA5: sent with '?'.\n"));
  expect(cmd(2, activate), {ok(2)});
  EXPECT_EQ(received(fd), answered);
}

// Out of descriptors, the waiting plug-in keeps the listener readable: the proxy rests a second, then takes it.
TEST_F(PppAuth, OutOfDescriptorsTheProxyRestsASecondInsteadOfSpinning) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizers' runtime takes descriptors of its own to check an object's type, and finds none";
#endif
  Testing::PinnedClock clock(Testing::PinnedClock::Present);
  const Fd fd = Testing::connectLoopback(Board::Paths::authPort());
  ASSERT_TRUE(fd);
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  const int lowestFree = ::dup(0);
  ::close(lowestFree);
  rlimit none = saved;
  none.rlim_cur = rlim_t(lowestFree);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &none), 0);
  const std::string refused = "can't accept auth connection: Too many open files, retrying in 1 s\n";
  // The first refusal waited for, however late the loop gets to it; then a while to see no second one.
  const bool tried = Testing::runUntil([&] { return logs.str().find(refused) != std::string::npos; });
  Testing::runFor(50);
  ::setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_TRUE(tried);
  EXPECT_EQ(Testing::count(logs.str(), refused), 1u);
  EXPECT_EQ(logs.str().find("incoming auth connection"), std::string::npos);
  clock.advance(1000);
  EXPECT_TRUE(logged("incoming auth connection from 127.0.0.1:" + std::to_string(Testing::localPort(fd.get()))));
}

TEST_F(PppAuth, TheFramingTakesTwelveTo512Bytes) {
  const struct {
    std::string bytes;
    std::string log;  // after the slot's header; empty when the connection closes
  } cases[] = {
      {record(512, 1, 3), "auth request, invalid size: 512"},
      {record(140, 4, 3), "auth accounting, invalid size: 140"},
      {record(12, 2, 3), "auth accept, ignored."},
      {record(12, 3, 3), "auth ip, ignored."},
      {word(3), ""},
      {record(11, 1, 3), ""},
      {word(513) + std::string(509, '\0'), ""},
  };
  for (const auto& c : cases) {
    const Fd fd = plugIn();
    send(fd, c.bytes);
    if (c.log.empty()) {
      // The proxy's line comes once it has closed the connection, however late the loop read the bytes.
      EXPECT_TRUE(logged(":" + std::to_string(Testing::localPort(fd.get())) + " disconnected.\n"));
      EXPECT_EQ(received(fd), "closed") << Testing::hex(c.bytes.substr(0, 4));
    } else {
      EXPECT_TRUE(logged("02:dsp-modem: " + c.log + "\n")) << c.log;
      EXPECT_EQ(received(fd), "") << c.log;
    }
  }
}

}  // namespace
