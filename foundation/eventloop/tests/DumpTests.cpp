// The status dump, its measurements and the profiling points.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>

#include "LoopTestSupport.h"
#include "foundation/eventloop/Profile.h"

using namespace looptest;

namespace {

TEST(PollEventAsText, NamesInBitOrderJoinedByBars) {
  EXPECT_EQ("", PollEventAsText(0));
  EXPECT_EQ("POLLIN|POLLOUT", PollEventAsText(5));
  EXPECT_EQ("POLLERR|POLLHUP|POLLNVAL", PollEventAsText(56));
  EXPECT_EQ("POLLPRI|POLLRDNORM|POLLWRBAND|POLLMSG", PollEventAsText(2 | 64 | 512 | 1024));
}

class ClockTest : public LoopTest {};

TEST_F(ClockTest, MeasureKeepsMinMaxLatestAndCountAcrossTheMicrosecondWrap) {
  Measure m;
  std::ostringstream none;
  m.put(none);
  EXPECT_EQ("min=0 max=0 avg=0 counter=0", none.str());
  pin((uint64_t(1) << 32) / 1000);  // a few hundred microseconds before the wrap
  m.begin();
  advance(2);
  EXPECT_EQ(2000u, m.end()) << "the difference survives the wrap";
  m.begin();
  advance(5);
  m.end();
  m.begin();
  advance(3);
  m.end();
  std::ostringstream out;
  m.put(out);
  EXPECT_EQ("min=2000 max=5000 avg=3000 counter=3", out.str()) << "avg shows the latest sample";
}

TEST_F(ClockTest, ProfilePointsListNewestFirst) {
  Profile::Point older("older");
  {
    Profile::Point newer("newer");
    older.begin();
    advance(7);
    older.end();
    std::ostringstream out;
    Profile::dump(out);
    EXPECT_EQ("[newer]: min=0 max=0 avg=0 counter=0\n[older]: min=7000 max=7000 avg=7000 counter=1\n", out.str());
  }
  std::ostringstream out;
  Profile::dump(out);
  EXPECT_EQ("[older]: min=7000 max=7000 avg=7000 counter=1\n", out.str()) << "a destroyed point leaves the list";
}

class DumpTest : public LoopTest {
protected:
  void onePass() {
    struct Stop {
      Dpc dpc;
      int calls = 0;
      void OnCall() {
        if (++calls == 3) multiplexer.terminate();
      }
    } stop;
    stop.dpc.Bind(&stop, &Stop::OnCall);
    stop.dpc.Activate();
    testing::internal::CaptureStderr();
    multiplexer.run(false, true);
    testing::internal::GetCapturedStderr();
  }
  std::string table(const std::string& dump) {
    std::string::size_type start = dump.find("\n+");
    return start == std::string::npos ? dump : dump.substr(start + 1);
  }
  struct Target {
    void OnEvent(int, short) {}
  };
};

const char* const kRule =
    "+----------------------------------------+------------------------------+----------+----------+-----"
    "+------------------------------------------------------------+\n";
const char* const kHeader =
    "|                  name                  |            events            |  count   | handler  | fd  "
    "|                          measure                           |\n";

// The fd column is five wide: one digit is centred with two blanks each side.
std::string fdCell(int fd) {
  std::string digits = std::to_string(fd);
  return digits.size() == 1 ? "  " + digits + "  " : " " + digits + "  ";
}

TEST_F(DumpTest, LayoutWithMeasurementsProfilePointsAndNamedHandlers) {
  Pipe p, q;
  Target target;
  Event bound, unbound;
  bound.Bind("Target::OnEvent", &Target::OnEvent, &target);
  bound.Schedule(p.read, POLLIN | POLLPRI);
  unbound.Schedule(q.read, POLLOUT);
  ASSERT_LT(bound.fd().get(), 100);
  ASSERT_LT(unbound.fd().get(), 100);
  p.fill();

  std::ostringstream before;
  multiplexer.dump(before);
  EXPECT_EQ(std::string(kRule) + kHeader + kRule + kRule + "\n", table(before.str()))
      << "handlers attached since the last rebuild are not listed";

  onePass();
  std::ostringstream out;
  multiplexer.dump(out);
  std::string dump = out.str();
  std::istringstream lines(dump);
  std::string line;
  for (std::string what : {"dpc", "event", "timer"}) {
    std::getline(lines, line);
    unsigned min, max, avg, counter;
    char end;
    const std::string form = what + " transition measurement (min/max/cur/counter): min=%u max=%u avg=%u counter=%u%c";
    EXPECT_EQ(4, sscanf(line.c_str(), form.c_str(), &min, &max, &avg, &counter, &end)) << line;
  }
  std::getline(lines, line);
  EXPECT_EQ('+', line[0]) << "no profiling point: the table follows";
  EXPECT_EQ(std::string(kRule) + kHeader + kRule +
                "|            Target::OnEvent             |        POLLIN|POLLPRI        |    1     | attached |" +
                fdCell(bound.fd().get()) +
                "|                min=0 max=0 avg=0 counter=0                 |\n"
                "|                Unknown                 |           POLLOUT            |    0     |unattached|" +
                fdCell(unbound.fd().get()) + "|                min=0 max=0 avg=0 counter=0                 |\n" +
                kRule + "\n",
            table(dump));
}

}  // namespace
