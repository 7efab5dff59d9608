// A modem call of the real daemon, driven by the controller: a stand-in PPP
// daemon runs on the answered DSP modem, its authentication plug-in (this
// test) logs in through the proxy, the controller's activation brings the
// link's addresses back, accounting ends the call and the destroy waits for
// the PPP daemon to go.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "board/Paths.h"
#include "server/tests/Harness.h"
#include "testing/Environment.h"
#include "testing/Frames.h"
#include "testing/Loopback.h"

using namespace e2e;

namespace {

std::string word(uint32_t w) { return {char(w >> 24), char(w >> 16), char(w >> 8), char(w)}; }

class ModemCall : public Served {
protected:
  void SetUp() override {
    // The proxy's port, of this daemon alone (not of this process: the tests after it start daemons too).
    daemon.ownAuthPort();
    const std::string pppd = daemon.file(Board::Paths::Pppd);
    std::filesystem::create_directories(std::filesystem::path(pppd).parent_path());
    std::filesystem::copy_file(Testing::required("GW_STANDIN"), pppd);
    std::ofstream(pppd + ".do") << "wait\n";
    Served::SetUp();
  }
};

TEST_F(ModemCall, APppCallLogsInGetsItsAddressesAndEnds) {
  control("mctl add 0 300");
  expect(cmd(1, 1, "create : trunk : { trunk 2, timeslot 5 }"),
         {ok(1, 1), sig(1, "transmitter : active : 69"), sig(1, "receiver : active : 69")});
  expect(cmd(2, 2, R"(create : modem : { cid "5551234", cdid "100" })"), {ok(2, 2)});
  expect(cmd(3, 2, "connect : 1"), {sig(2, "transmitter : active : 300"), sig(2, "receiver : active : 300"), ok(3, 2)});
  const std::string log = daemon.file(Board::Paths::Pppd) + ".log";
  EXPECT_TRUE(waitFor([&] {
    return readFile(log) == "/usr/local/sbin/pppd file /usr/local/etc/ppp/aoptions /dev/mdm0 remotenumber 5551234\n";
  })) << readFile(log);

  Testing::Client plugIn = Testing::Client::tcp(static_cast<unsigned short>(daemon.authPort()));
  const std::string name = "bob" + std::string(61, '\0'), password = "pw" + std::string(62, '\0');
  plugIn.write(word(140) + word(1) + word(0) + name + password);
  controller.expectNext({sig(2, R"(modemProceeding : auth : { username "bob", password "pw" })")}, "the login");
  expect(cmd(4, 2,
             R"(activate : modem : { remoteAddr "192.168.7.2", netmask "255.255.255.252", )"
             R"(gateway "192.168.7.1", dns "192.168.7.1", mtu 1500 })"),
         {ok(4, 2)});
  EXPECT_EQ(Testing::hex(plugIn.read(52)),
            "00000010000000020000000000000001"
            "00000024000000030000000000000000"
            "c0a80702fffffffcc0a80701c0a80701000005dc");

  std::string accounting = word(64) + word(4) + word(0) + std::string(12, '\0');
  for (uint32_t w : {0u, 5000u, 0u, 7000u, 0u, 50u, 0u, 60u, 90u, 0u}) accounting += word(w);
  plugIn.write(accounting);
  controller.expectNext({sig(2,
                             "modemProceeding : acct : { octetsOut { low 5000, high 0 }, octetsIn { low 7000, "
                             "high 0 }, packetsOut { low 50, high 0 }, packetsIn { low 60, high 0 }, time { low "
                             "90, high 0 } }")},
                        "the accounting");
  plugIn.close();

  // The PPP daemon ends on SIGHUP; then the destroy is answered.
  expect(cmd(5, 2, "destroy : NULL"), {ok(5, 2)});
  EXPECT_TRUE(daemon.errHas("02:dsp-modem: sent HUP to pppd.\n"));
  EXPECT_TRUE(daemon.errHas("02:dsp-modem: pppd terminated with code 1\n"));
  // The reply goes out before the slot lets the device go.
  const Lines idle{"0 channel=300 free ddm=0x0 dmp= call=idle"};
  EXPECT_TRUE(waitFor([&] { return control("mctl modems") == idle; })) << control("mctl modems").front();
}

}  // namespace
