#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <fstream>
#include <ostream>
#include <sstream>

#include "board/Paths.h"
#include "foundation/log/SysLogManager.h"
#include "foundation/log/SysLogStreamBuf.h"
#include "foundation/log/tests/LogSocket.h"
#include "testing/Loop.h"

namespace {

// "<pri>Mmm dd hh:mm:ss " and what follows, the record's NUL included.
::testing::AssertionResult isRecord(const std::string& record, int priority, const std::string& rest) {
  const std::string head = "<" + std::to_string(priority) + ">";
  const std::string stamp = "Aaa #9 99:99:99 ";  // letters, digits, a day's leading blank
  bool ok = record.size() == head.size() + stamp.size() + rest.size() + 1 && record.rfind(head, 0) == 0 &&
            record.compare(head.size() + stamp.size(), std::string::npos, rest + '\0') == 0;
  for (std::size_t i = 0; ok && i < stamp.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(record[head.size() + i]);
    ok = stamp[i] == 'A'   ? std::isupper(c)
         : stamp[i] == 'a' ? std::islower(c)
         : stamp[i] == '9' ? std::isdigit(c)
         : stamp[i] == '#' ? (c == ' ' || std::isdigit(c))
                           : c == static_cast<unsigned char>(stamp[i]);
  }
  if (ok) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "\"" << record << "\" is not <" << priority << ">, a stamp, \"" << rest
                                       << "\\0\"";
}

TEST(SysLogClient, RecordFormAndBatchingUntilSent) {
  LogSocket log(SOCK_DGRAM);
  SysLogManager client;
  client.openlog("tvd-T1", SysLogManager::LogOpenAtOnce, 0);
  ASSERT_TRUE(client.connected());
  EXPECT_EQ(SOCK_DGRAM, client.socketType());

  client.syslog(29, "text %d", 1);
  client.syslog(3, "default facility");
  EXPECT_EQ("", log.datagram(0));
  EXPECT_EQ(2, client.sendmsg());
  EXPECT_TRUE(isRecord(log.datagram(), 29, "tvd-T1: text 1"));
  EXPECT_TRUE(isRecord(log.datagram(), 11, "tvd-T1: default facility"));
  EXPECT_EQ(0, client.sendmsg());

  client.openlog(nullptr, SysLogManager::LogPid, 3 << 3);
  client.syslog(5, "with pid");
  client.syslog(255, "outside facility");
  client.sendmsg();
  EXPECT_TRUE(isRecord(log.datagram(), 29, "tvd-T1[" + std::to_string(::getpid()) + "]: with pid"));
  EXPECT_TRUE(isRecord(log.datagram(), 255, "tvd-T1[" + std::to_string(::getpid()) + "]: outside facility"));

  client.openlog("", 0, 0x400);
  client.syslog(7, "no ident");
  client.sendmsg();
  EXPECT_TRUE(isRecord(log.datagram(), 31, "no ident"));

  client.closelog();
  EXPECT_FALSE(client.connected());
  EXPECT_EQ("syslog-qv", client.ident());
  client.syslog(13, "reopened on demand");
  EXPECT_TRUE(client.connected());
  client.sendmsg();
  EXPECT_TRUE(isRecord(log.datagram(), 13, "syslog-qv: reopened on demand"));
}

// What the logger has taken, read while the loop sends the rest as it finds room: at least `count` records,
// the last one holding `last`.
std::vector<std::string> readUntil(LogSocket& log, std::size_t count, const std::string& last = "") {
  std::vector<std::string> records;
  Testing::runUntil([&] {
    for (std::string& record : log.take()) records.push_back(std::move(record));
    return records.size() >= count && records.back().find(last) != std::string::npos;
  });
  return records;
}

TEST(SysLogClient, LongRecordsAreCutAndAFullBatchLeavesAtOnce) {
  LogSocket log(SOCK_DGRAM);
  SysLogManager client;
  client.openlog("x", SysLogManager::LogOpenAtOnce, 0);
  const std::string longText(2000, 'a');
  // Twelve records of 1023 characters and their NULs stay just below the bound.
  for (int i = 0; i < 12; ++i) client.syslog(13, "%s", longText.c_str());
  EXPECT_EQ("", log.datagram(0));
  client.syslog(13, "%s", longText.c_str());
  EXPECT_NE("", log.datagram(0));
  std::vector<std::string> received = readUntil(log, 12);
  ASSERT_EQ(12u, received.size());
  for (const std::string& record : received) {
    EXPECT_EQ(1024u, record.size());
    EXPECT_EQ('\0', record.back());
  }

  // 256 short records leave as soon as the last one is handed over.
  for (int i = 0; i < 255; ++i) client.syslog(13, "%d", i);
  EXPECT_EQ("", log.datagram(0));
  client.syslog(13, "%d", 255);
  received = readUntil(log, 256);
  ASSERT_EQ(256u, received.size());
  EXPECT_TRUE(isRecord(received.front(), 13, "x: 0"));
  EXPECT_TRUE(isRecord(received.back(), 13, "x: 255"));
}

// A logger that stops reading holds no caller: what it has no room for waits
// in the batch, the rest is dropped, and once it reads again the records kept
// arrive whole and in order, then the count of those lost, then new ones.
TEST(SysLogClient, ALoggerThatStopsReadingCostsCountedRecordsNotAWait) {
  for (const int type : {SOCK_DGRAM, SOCK_STREAM}) {
    LogSocket log(type);
    SysLogManager client;
    client.openlog("tvd", SysLogManager::LogOpenAtOnce, 3 << 3);
    const int sendBuffer = 4096;  // small: a stream logger takes part of a record now and then
    ::setsockopt(client.socket(), SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
    const std::string text(900, 'x');
    const int total = 2000;
    for (int i = 0; i < total; ++i) {
      client.syslog(3, "%04d %s", i, text.c_str());
      client.sendmsg();
    }
    const std::vector<std::string> received = readUntil(log, 1, "syslog:");
    ASSERT_GT(received.size(), 1u) << type;
    const std::size_t kept = received.size() - 1;
    for (std::size_t i = 0; i < kept; ++i) {
      const std::string number = std::to_string(10000 + i).substr(1);
      ASSERT_TRUE(isRecord(received[i], 27, "tvd: " + number + " " + text)) << type;
    }
    EXPECT_TRUE(isRecord(received.back(), 28, "tvd: syslog: " + std::to_string(total - kept) + " records dropped"))
        << type;

    client.syslog(3, "after");
    client.sendmsg();
    const std::vector<std::string> after = readUntil(log, 1);
    ASSERT_EQ(1u, after.size()) << type;
    EXPECT_TRUE(isRecord(after[0], 27, "tvd: after")) << type;
  }
}

TEST(SysLogClient, StreamSocketAfterProtocolRefusal) {
  LogSocket log(SOCK_STREAM);
  SysLogManager client;
  client.openlog("tvd-S", SysLogManager::LogOpenAtOnce, 0);
  ASSERT_TRUE(client.connected());
  EXPECT_EQ(SOCK_STREAM, client.socketType());
  client.syslog(27, "first");
  client.syslog(27, "second");
  EXPECT_GT(client.sendmsg(), 0);
  const std::string bytes = log.streamBytes(2);
  const std::size_t split = bytes.find('\0') + 1;
  ASSERT_LT(split, bytes.size());
  EXPECT_TRUE(isRecord(bytes.substr(0, split), 27, "tvd-S: first"));
  EXPECT_TRUE(isRecord(bytes.substr(split), 27, "tvd-S: second"));
  client.closelog();
  EXPECT_EQ(SOCK_DGRAM, client.socketType());
}

TEST(SysLogClient, WithoutSocketRecordsAreDroppedOrCopiedAsAsked) {
  ::unlink(Board::Paths::path(Board::Paths::SyslogSocket).c_str());
  const std::string console = Board::Paths::path(Board::Paths::Console);
  ::mkdir((Board::Paths::root() + "/dev").c_str(), 0755);
  std::ofstream(console, std::ios::trunc).close();

  SysLogManager client;
  testing::internal::CaptureStderr();
  client.openlog("tvd", SysLogManager::LogOpenAtOnce | SysLogManager::LogToStderr, 0);
  EXPECT_FALSE(client.connected());
  client.syslog(13, "to stderr");
  client.syslog(13, "ends line\n");
  client.sendmsg();
  EXPECT_EQ("tvd: to stderr\ntvd: ends line\n", testing::internal::GetCapturedStderr());

  // A batch that cannot be sent falls back to the console when asked to.
  client.openlog(nullptr, SysLogManager::LogConsole, 0);
  const std::string longText(1500, 'c');
  for (int i = 0; i < 13; ++i) client.syslog(13, "%s", longText.c_str());
  std::ifstream in(console);
  std::stringstream written;
  written << in.rdbuf();
  const std::string expected = "tvd: " + std::string(1023 - std::string("<13>Jan  1 00:00:00 tvd: ").size(), 'c');
  EXPECT_EQ(expected + "\r\n", written.str());
}

TEST(SysLogStreams, OneRecordPerLineAtTheStreamPriority) {
  LogSocket log(SOCK_DGRAM);
  syslogManager.closelog();
  syslogManager.openlog("tvd-B", SysLogManager::LogOpenAtOnce, 0);
  ManagedSysLogStreamBuf errBuf(3, 3);
  EXPECT_EQ(27, errBuf.priority());
  std::ostream err(&errBuf);

  err << "one\ntwo\n" << std::flush;
  EXPECT_TRUE(isRecord(log.datagram(), 27, "tvd-B: one"));
  EXPECT_TRUE(isRecord(log.datagram(), 27, "tvd-B: two"));

  err << "part" << std::flush;
  err << "ial" << std::flush;
  EXPECT_EQ("", log.datagram(0));
  err << " line\nrest" << std::flush;
  EXPECT_TRUE(isRecord(log.datagram(), 27, "tvd-B: partial line"));
  EXPECT_TRUE(isRecord(log.datagram(), 27, "tvd-B: rest"));

  // Without a line end text waits until 16383 characters are pending, then
  // leaves as one record.
  err << std::string(16382, 'z') << std::flush;
  EXPECT_EQ("", log.datagram(0));
  err << "zy" << std::flush;
  const std::string full = log.datagram();
  EXPECT_EQ(1024u, full.size());
  EXPECT_EQ("", log.datagram(0));
  err << std::endl;
  EXPECT_TRUE(isRecord(log.datagram(), 27, "tvd-B: y"));
  syslogManager.closelog();
}

}  // namespace
