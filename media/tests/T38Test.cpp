// The software T.38 slot in this process: the child's command line and its
// standard input being the channel, SIGTERM on destroy with an immediate
// reply, a missing program, and the instance query that must not hang.

#include <chrono>

#include "media/tests/MediaSlots.h"

using namespace media;

namespace {

class T38 : public SlotTest {};

std::string create(long slot, const std::string& args) {
  return Testing::cmd(Testing::NoSeq, slot,
                      R"(create : t38soft : { dhost { iaddr "10.0.0.1", port 4000 }, shost { iaddr "10.0.0.2", )"
                      "port 5000 }, rx-packet-size 160, rx-threshold 2, tx-threshold 3, args { " +
                          args + " } }");
}

const Lines active = {"transmitter : active : 256", "receiver : active : 256"};

TEST_F(T38, TheChildReadsTheChannelAndEndsWithTheSlot) {
  install(Board::Paths::T38, "read 3\nwait");
  std::string args, passed;
  for (int i = 1; i <= 40; ++i) args += std::string(i > 1 ? ", " : "") + "\"b" + std::to_string(i) + "\"";
  for (int i = 1; i <= 27; ++i) passed += " b" + std::to_string(i);
  expect(create(6, args), {ok(6), sig(6, active[0]), sig(6, active[1])});
  EXPECT_EQ(control("mcc journal")[0].substr(control("mcc journal")[0].find(' ') + 1),
            "allocate type=2 rx_packet_size=160 reserved=0 rx_threshold=2 tx_threshold=3");
  EXPECT_TRUE(logged("t38soft: arg[3]=10.0.0.1/4000/5000\n"));
  control("mcc receive 256 ABCDEF");
  const std::string commandLine = "/usr/local/sbin/t38 --child --remote 10.0.0.1/4000/5000" + passed + "\n";
  EXPECT_TRUE(Testing::runUntil([&] { return ran(Board::Paths::T38) == commandLine + "read ABCDEF\n"; }))
      << ran(Board::Paths::T38);
  const int pid = dynamic_cast<T38SoftSlot&>(*Slots::instance().Find(6)).childPid();
  expect(cmd(6, "destroy : NULL"), {ok(6)});
  EXPECT_TRUE(logged("terminate child process, pid=" + std::to_string(pid) + " status=15\n"));

  // A program that cannot be run ends its child with 1005, seen as 237.
  fs::remove(rooted(Board::Paths::T38));
  expect(create(7, ""), {ok(7), sig(7, active[0]), sig(7, active[1]), sig(7, "abort : 60672")});
  EXPECT_TRUE(logged("07:t38 soft: t38 daemon terminated with code=237\n"));
}

TEST_F(T38, TheInstanceQueryAnswersWithinItsLimit) {
  T38SoftFactory& factory = T38SoftFactory::instance();
  install(Board::Paths::T38, "print 12");
  EXPECT_EQ(factory.QueryNumOfInstances(), 12);
  EXPECT_EQ(ran(Board::Paths::T38), "/usr/local/sbin/t38 --num-of-instances\n");
  install(Board::Paths::T38, "exit 0");
  EXPECT_EQ(factory.QueryNumOfInstances(), 0);
  install(Board::Paths::T38, "wait");
  const auto begin = std::chrono::steady_clock::now();
  EXPECT_EQ(factory.QueryNumOfInstances(), 0);
  // Its limit, and time to spare for the fork and the wake-up on a loaded machine or an emulator.
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(T38SoftFactory::QueryLimitMs + 1000));
  EXPECT_EQ(Testing::count(logs.str(), "t38soft: t38: can't detect T38 resources\n"), 2u);
  // A missing program starts all the same: its child ends without a word.
  fs::remove(rooted(Board::Paths::T38));
  EXPECT_EQ(factory.QueryNumOfInstances(), 0);
  EXPECT_EQ(Testing::count(logs.str(), "t38soft: t38: can't detect T38 resources\n"), 3u);
  EXPECT_EQ(Testing::count(logs.str(), "t38 daemon not found!"), 0u);
}

}  // namespace
