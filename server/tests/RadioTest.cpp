// Radio gateway slots of the real daemon driven as a controller would: a
// LEMZ and an ED-137 slot made on the simulated RTP engine and extension
// device, radio packets from the device reaching the controller as rtpExt
// signals, the controller's radio requests written to the device, the
// squelch switching the RTP input, a silent ED-137 radio reported lost, and
// destroy releasing every session.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "server/tests/Harness.h"

using namespace e2e;

namespace {

std::string flags(const char* ptt) {
  return std::string("flags { prio 5, ptt ") + ptt +
         ", bss FALSE, vad-rx FALSE, vad-tx FALSE, sql FALSE, sh FALSE, pwr FALSE, rv FALSE, resv FALSE, selcall 0, "
         "li 0 }";
}
const std::string lemzStatus = "lemz : { " + flags("FALSE") +
                               ", freq { channel 3, frequency \"145.500000\" }, "
                               "remote { no 1, ch 2 }, squelshe on, rte j3e, standby-state-channel active, "
                               "standby-group 0, standby-state-receiver active }";
std::string header(const char* ptt, const char* squ, int id) {
  return std::string("header { ptt ") + ptt + ", squ " + squ + ", ptt-id " + std::to_string(id) +
         ", ptt-mute FALSE, ptt-summation FALSE, sct FALSE }";
}
std::string create(long seq, int port, const std::string& radio) {
  return cmd(seq, seq,
             "create : rtp : { codecRTP { payload ptG711-Alaw, dhost { iaddr \"127.0.0.1\", port " +
                 std::to_string(port) + " }, radio { status " + radio +
                 " } }, txPayload ptG711-Alaw, rxPayload ptG711-Alaw }");
}
Lines created(long seq, int channel) {
  const std::string c = std::to_string(channel);
  return {ok(seq, seq), sig(seq, "transmitter : active : " + c), sig(seq, "receiver : active : " + c)};
}
bool has(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}
// The records ("N HEX") of the extension device's requests of that name, the journal emptied.
Lines records(BoardControl& control, const std::string& name) {
  Lines found;
  for (const std::string& line : control.journal("rtp_ext"))
    if (line.compare(0, name.size() + 1, name + " ") == 0) found.push_back(line.substr(name.size() + 1));
  return found;
}

class Radio : public Served {};

TEST_F(Radio, LemzAndEd137SlotsCarryRadioSignallingBothWays) {
  expect(create(1, 41010, lemzStatus), created(1, 1024));
  control("rtp_ext receive 1 10.0.0.9 9 01500000");  // GW_FLAG, priority 5
  controller.expectNext({sig(1, "rtpExt : { status " + lemzStatus +
                                    ", request lemz : { addr { session-addr "
                                    "\"10.0.0.9\", session-ssrc 9 }, params gw-set-flags : { " +
                                    flags("FALSE") + " } } }")},
                        "a GW_FLAG packet");
  expect(cmd(2, 1,
             "ioctl : rtpExt : lemz : { addr { session-addr \"10.0.0.9\", session-ssrc 9 }, params wm-remote : "
             "{ remote { no 4, ch 5 } } }"),
         {ok(2, 1)});
  EXPECT_TRUE(waitFor([&] { return has(control.journal("rtp_ext"), "write 1 8650000004050000"); }));
  expect(cmd(3, 1, "destroy : NULL"), {ok(3, 1)});

  const std::string ed137 = "ed-137 : { " + header("ptt-off", "squ-off", 0) +
                            ", radio-response { type radio-txrx, "
                            "txrxmode txrx, ptt-id 0, transmission-depend-on-squ TRUE } }";
  expect(create(4, 41020, ed137), created(4, 1024));
  for (const char* squ : {"squ-on", "squ-off"}) {
    expect(cmd(5, 4,
               std::string("ioctl : rtpExt : ed-137 : { addr { session-addr \"10.0.0.7\", session-ssrc 7 }, "
                           "params rx : { ") +
                   header("ptt-off", squ, 1) + " } }"),
           {ok(5, 4)});
  }
  const Lines engine = control.journal("rtp");
  EXPECT_TRUE(has(engine, "input-on 2") && has(engine, "input-off 2")) << "the squelch drives the input";
  const Lines ext = control.journal("rtp_ext");
  EXPECT_TRUE(has(ext, "write 2 10400000") && has(ext, "write 2 00400000")) << "RX headers, squelch open then shut";
  control("rtp_ext receive 2 10.0.0.8 8 20400000");  // TX header: normal push-to-talk, id 1
  const std::string rx = "status ed-137 : { " + header("ptt-off", "squ-off", 1) +
                         ", sqi { bss-method rssi, "
                         "bss-quality 0 } }, request ed-137 : { addr { session-addr \"10.0.0.8\", session-ssrc 8 }, "
                         "params tx : { " +
                         header("normal-ptt-on", "squ-off", 1) + " } }";
  controller.expectNext({sig(4, "rtpExt : { " + rx + " }")}, "a TX header");
  // Silent from now on: lost after 2 s, seen by a check once a second.
  EXPECT_EQ(Testing::notation(controller.receive()), Testing::notation(Testing::lgcp(sig(4, "abort : 151"))));
  expect(cmd(6, 4, "destroy : NULL"), {ok(6, 4)});
  EXPECT_TRUE(waitFor([&] { return control("rtp sessions").empty() && control("rtp_ext sessions").empty(); }));
  EXPECT_TRUE(daemon.errHas("rtp ext ED137[0,0,0,0]: do create rtp ext ED137: "));
}

// However many slots are alive, each extension session follows the RTP session descriptor its own slot
// keeps, not one the factory closed once the create returned: open in the daemon, one per slot, never
// stale, and the same record detaches it when the slot goes.
TEST_F(Radio, EachExtensionSessionNamesTheDescriptorItsSlotKeeps) {
  const std::string ed137 = "ed-137 : { " + header("ptt-off", "squ-off", 0) + " }";
  const std::string kinds[] = {ed137, ed137, lemzStatus, lemzStatus};
  for (int i = 0; i < 4; ++i) expect(create(i + 1, 41030 + 10 * i, kinds[i]), created(i + 1, 1024 + i));
  const Lines attached = records(control, "attach");
  ASSERT_EQ(attached.size(), 4u);
  std::set<std::string> fds;
  for (const std::string& record : attached) {
    const std::string fd = std::to_string(std::stoul(record.substr(record.find(' ') + 1, 8), nullptr, 16));
    EXPECT_TRUE(exists("/proc/" + std::to_string(daemon.pid()) + "/fd/" + fd)) << record;
    fds.insert(fd);
  }
  EXPECT_EQ(fds.size(), 4u) << "one descriptor per slot";
  const Lines sessions = control("rtp_ext sessions");
  EXPECT_EQ(sessions.size(), 4u);
  for (const std::string& session : sessions) EXPECT_EQ(session.find(" stale "), std::string::npos) << session;
  for (int i = 0; i < 4; ++i) expect(cmd(10 + i, i + 1, "destroy : NULL"), {ok(10 + i, i + 1)});
  EXPECT_EQ(records(control, "detach"), attached);
  EXPECT_EQ(daemon.err().find("detach rtp_ext session fail !!!"), std::string::npos);
}

}  // namespace
