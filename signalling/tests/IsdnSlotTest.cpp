// The ISDN and QSIG slots in this process behind the controller server, on
// the simulated controller and DSP data device: each scenario's controller
// messages (in value notation), the frames on the D channel and the log
// lines, in the order they happened, are kept as golden transcripts.

#include <map>

#include "board/Paths.h"
#include "foundation/config/TraceCtl.h"
#include "foundation/eventloop/Multiplexer.h"
#include "foundation/packet/Packet.h"
#include "signalling/IsdnFactory.h"
#include "slots/tdm/tests/SlotKinds.h"
#include "testing/Golden.h"

using tdm::control;
using tdm::Lines;
using Testing::cmd;
using Testing::NoSeq;

namespace {

std::string create(long slot, const std::string& what) { return cmd(NoSeq, slot, "create : " + what); }

class IsdnSlots : public tdm::SlotKindTest {
protected:
  void SetUp() override {
    IsdnFactory::instance();
    SlotKindTest::SetUp();
    logs.clear();
  }
  // Runs a controller message or a control line, then writes it, the frames
  // the daemon wrote on the lines and the controller messages that came into the transcript.
  void steps(const Lines& all) {
    for (const std::string& what : all) record(what);
  }
  void record(const std::string& what) {
    const bool message = what[0] == '{';
    transcript += (message ? "> " : "$ ") + what + "\n";
    Lines frames;
    if (message) {
      // A command's response is waited for: loopback TCP may hand the
      // message over only after the loop has found a quiet pass.
      frames = send(what);
    } else {
      // A journal's lines without their times.
      const size_t cut = what.size() > 8 && what.compare(what.size() - 8, 8, " journal") == 0;
      for (const std::string& reply : control(what)) {
        transcript += "  " + reply.substr(cut ? reply.find(' ') + 1 : 0) + "\n";
      }
    }
    for (const std::string& frame : settle()) frames.push_back(frame);
    for (const std::string& frame : frames) transcript += "< " + frame + "\n";
    // The loop's stops belong to the test, not to the scenario.
    std::istringstream lines(logs.str());
    for (std::string line; std::getline(lines, line);) {
      if (line != "Mux: terminating...") transcript += "  log: " + line + "\n";
    }
    logs.clear();
    for (const char* device : {"mcc", "dsp-data"}) {
      const Lines written = control(std::string(device) + " written");
      for (size_t i = shown[device]; i < written.size(); ++i) transcript += "  " + (device + (" " + written[i])) + "\n";
      shown[device] = written.size();
    }
  }
  ::testing::AssertionResult golden(const std::string& name) {
    return Testing::matchesGolden("signalling/tests/golden/" + name + ".txt", transcript);
  }

  std::string transcript;
  std::map<std::string, size_t> shown;
};

TEST_F(IsdnSlots, IsdnSlotCarriesLayer3MessagesAndReportsTheLink) {
  const std::string bri = create(4, "isdn : { type bri, trunk 1, log 0, side user : NULL }");
  steps({"absent mcc", bri, "present mcc", "fail mcc ioctl 0x40144D00 ENOSPC", bri, "heal mcc",
         "fail mcc ioctl 0x20004D02 EIO", bri, "heal mcc", "mcc journal"});
  traces.signalling_isdn = true;
  steps({create(3, "isdn : { type pri, trunk 2, log 0, side user : NULL }"), "mcc journal",
         cmd(NoSeq, 3, "activate : empty : NULL"), "mcc receive 256 000173",
         cmd(NoSeq, 3, "userData : '0801050504038090A2'H"), "mcc receive 256 02010002080185070180",
         cmd(NoSeq, 3, "ioctl : dtmf-disable : NULL"), cmd(NoSeq, 3, "deactivate : NULL"), "mcc receive 256 000173"});
  traces.signalling_isdn = false;
  steps({"mcc hangup 256", cmd(NoSeq, 3, "destroy : NULL"), "mcc channels"});
  EXPECT_TRUE(golden("isdn-slot"));
}

// The controller device's open files as the board counts them: a file ends
// with its last descriptor, so a duplicate kept open still counts.
unsigned mccFilesOpen() {
  for (const std::string& line : control("devices")) {
    if (line.rfind(std::string(Board::Paths::MccCtl) + " ", 0) == 0)
      return unsigned(std::stoul(line.substr(line.find("open=") + 5)));
  }
  ADD_FAILURE() << "the board lists no " << Board::Paths::MccCtl;
  return 0;
}

TEST_F(IsdnSlots, RefusedChannelFollowsTheTracedLinkLayerAndLeavesNothingBehind) {
  const unsigned files = mccFilesOpen();
  steps({"absent mcc", create(4, "isdn : { type bri, trunk 4, log 1, side user : NULL }"), "present mcc"});
  EXPECT_EQ(mccFilesOpen(), files) << "after the absent device";
  // The controller's first command has armed its heartbeat.
  const unsigned timers = multiplexer.timer_count();
  const unsigned packets = packet_pool().count();
  const Lines refusals[] = {
      {"fail mcc ioctl 0x40144D00 ENOSPC", create(4, "isdn : { type bri, trunk 1, log 3, side user : NULL }")},
      {create(4, "isdn : { type pri, trunk 2, log 1, side network : NULL }")},
      {"heal mcc", "fail mcc ioctl 0x20004D02 EIO", create(4, "isdn : { type pri, trunk 3, log 1, side user : NULL }")},
  };
  for (const Lines& refusal : refusals) {
    steps(refusal);
    EXPECT_EQ(mccFilesOpen(), files) << refusal.back();
  }
  steps({"heal mcc", "mcc channels"});
  EXPECT_EQ(multiplexer.timer_count(), timers);
  EXPECT_EQ(packet_pool().count(), packets);
  EXPECT_TRUE(golden("isdn-slot-refused"));
}

TEST_F(IsdnSlots, QsigSlotHandsOutBChannelsAndReleasesThemFirstOrLast) {
  const std::string qsig = create(5, "ats-qsig : { side network : NULL, log 0 }");
  steps({create(3, "isdn : { type bri, trunk 1, log 0, side network : NULL }"),
         "mcc journal",
         "absent dsp-data",
         qsig,
         "present dsp-data",
         "fail dsp-data ioctl 0x40044211 ENODEV",
         qsig,
         "heal dsp-data",
         qsig,
         create(6, "ats-qsig-b : { slot 5, subslot 3 }"),
         create(7, "ats-qsig-b : { slot 5, subslot 1 }"),
         create(8, "ats-qsig-b : { slot 5, subslot 3 }"),
         create(8, "ats-qsig-b : { slot 3, subslot 1 }"),
         create(9, "ats-qsig-b : { slot 40, subslot 2 }"),
         create(10, "trunk : { trunk 0, timeslot 5 }"),
         cmd(NoSeq, 10, "connect : 6"),
         "hal switch map",
         "dsp-data links",
         cmd(NoSeq, 5, "activate : empty : NULL"),
         "dsp-data receive 512 000173",
         cmd(NoSeq, 7, "destroy : NULL"),
         cmd(NoSeq, 5, "destroy : NULL"),
         cmd(NoSeq, 6, "destroy : NULL"),
         "dsp-data journal",
         "dsp-data links"});
  EXPECT_TRUE(golden("qsig-slot"));
}

}  // namespace
