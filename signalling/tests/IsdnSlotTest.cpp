// The ISDN and QSIG slots in this process behind the controller server, on
// the simulated controller and DSP data device: each scenario's controller
// messages (in value notation) and the frames on the D channel, in the order
// they happened, are kept as golden transcripts. Then the creates that fail,
// and a D channel that hangs up.

#include <map>

#include "foundation/config/TraceCtl.h"
#include "signalling/IsdnFactory.h"
#include "slots/tdm/tests/SlotKinds.h"
#include "testing/Golden.h"

using Testing::cmd;
using Testing::NoSeq;
using tdm::control;
using tdm::Lines;

namespace {

std::string create(long slot, const std::string& what) { return cmd(NoSeq, slot, "create : " + what); }

class IsdnSlots : public tdm::SlotKindTest {
protected:
  void SetUp() override {
    IsdnFactory::instance();
    SlotKindTest::SetUp();
  }
  // Runs a controller message or a control line, then writes it, the frames
  // the daemon wrote on the lines and the controller messages that came into the transcript.
  void step(const std::string& what) {
    const bool message = what[0] == '{';
    transcript += (message ? "> " : "$ ") + what + "\n";
    if (message) {
      controller->send(Testing::lgcp(what));
    } else {
      // A journal's lines without their times.
      const size_t cut = what.size() > 8 && what.compare(what.size() - 8, 8, " journal") == 0;
      for (const std::string& reply : control(what)) {
        transcript += "  " + reply.substr(cut ? reply.find(' ') + 1 : 0) + "\n";
      }
    }
    for (const std::string& frame : settle()) transcript += "< " + Testing::notation(frame) + "\n";
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
  for (const std::string& what : Lines{
           create(3, "isdn : { type pri, trunk 2, log 0, side user : NULL }"),
           "mcc journal",
           cmd(NoSeq, 3, "activate : empty : NULL"),
           "mcc receive 256 000173",
           cmd(NoSeq, 3, "userData : '0801050504038090A2'H"),
           "mcc receive 256 02010002080185070180",
           cmd(NoSeq, 3, "ioctl : dtmf-disable : NULL"),
           cmd(NoSeq, 3, "deactivate : NULL"),
           "mcc receive 256 000173",
           cmd(NoSeq, 3, "destroy : NULL"),
           "mcc channels",
       })
    step(what);
  EXPECT_TRUE(golden("isdn-slot"));
}

TEST_F(IsdnSlots, QsigSlotHandsOutBChannelsAndReleasesThemFirstOrLast) {
  for (const std::string& what : Lines{
           create(3, "isdn : { type bri, trunk 1, log 0, side network : NULL }"),
           "mcc journal",
           create(5, "ats-qsig : { side network : NULL, log 0 }"),
           create(6, "ats-qsig-b : { slot 5, subslot 3 }"),
           create(7, "ats-qsig-b : { slot 5, subslot 1 }"),
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
           "dsp-data links",
       })
    step(what);
  EXPECT_TRUE(golden("qsig-slot"));
}

TEST_F(IsdnSlots, CreatesFailWithOneLineAndNoSlot) {
  const std::string isdn = create(4, "isdn : { type bri, trunk 1, log 0, side user : NULL }");
  const std::string qsig = create(4, "ats-qsig : { side user : NULL, log 0 }");
  const struct {
    std::string fault;
    std::string create;
    std::string line;
  } cases[] = {
      {"absent mcc", isdn, "mcc/isdn: fail to open MCC device: No such file or directory\n"},
      {"fail mcc ioctl 0x40144D00 ENOSPC", isdn, "mcc/isdn: MCC_ALLOCATE fail: No space left on device\n"},
      {"fail mcc ioctl 0x20004D02 EIO", isdn, "mcc/isdn: MCC_TIMESLOT fail: Input/output error\n"},
      {"absent dsp-data", qsig, "mcc/isdn: fail to open dsp-data device: No such file or directory\n"},
      {"fail dsp-data ioctl 0x40044211 ENODEV", qsig, "mcc/isdn: D channel query fail: No such device\n"},
  };
  for (const auto& c : cases) {
    Board::Sim::reset();
    control(c.fault);
    logs.clear();
    expect(c.create, {Testing::err(NoSeq, 4, "insufficientResources")});
    EXPECT_EQ(Testing::count(logs.str(), c.line), 1u) << c.fault << "\n" << logs.str();
    EXPECT_EQ(control("mcc channels"), Lines{});
  }
  Board::Sim::reset();
  expect(qsig, {Testing::ok(NoSeq, 4)});
  control("fail dsp-data ioctl 0x8008420F EBUSY");
  expect(create(5, "ats-qsig-b : { slot 4, subslot 2 }"), {Testing::err(NoSeq, 5, "insufficientResources")});
  EXPECT_EQ(Testing::count(logs.str(), "ats-qsig: add B channel fail !!!\n"), 1u);
}

TEST_F(IsdnSlots, HungUpChannelIsClosedOnceAndTracesShowTheFrames) {
  traces.signalling_isdn = true;
  for (const std::string& m : {create(4, "isdn : { type pri, trunk 1, log 0, side user : NULL }"),
                               cmd(NoSeq, 4, "activate : empty : NULL")}) {
    controller->send(Testing::lgcp(m));
    settle();
  }
  control("mcc receive 256 000173");
  settle();
  traces.signalling_isdn = false;
  control("mcc hangup 256");
  settle();
  EXPECT_EQ(Testing::count(logs.str(), "isdn-slot[256]: : tx 00 01 7F\n"), 1u) << logs.str();
  EXPECT_EQ(Testing::count(logs.str(), "isdn-slot[256]: : rx 00 01 73\n"), 1u);
  EXPECT_EQ(Testing::count(logs.str(), "isdn-slot[256]: read error: end of file\n"), 1u);
}

}  // namespace
