// Slots of the real daemon driven as a controller would: trunk, bus map,
// extension, MCC and echo slots, connected through the simulated switch,
// whose map is read back through the board's control socket. Frames are
// compared byte for byte; each carries its value in a comment.

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "server/tests/Harness.h"

using e2e::Controller;
using e2e::Lines;

namespace {

class Slots : public e2e::Served {
protected:
  Lines switchMap() { return control("hal switch map"); }
};

TEST_F(Slots, TwoTrunkTimeslotsConnectOnTheSwitchAndAreDestroyed) {
  // Every bus output is off after start-up.
  EXPECT_EQ(switchMap(), Lines{});
  expect("c00101000108380228",  // seq 1, slot 1, create trunk {trunk 2, timeslot 5}
         {"c00101000140",       // success
          "4000018a800145",     // slot 1, transmitter active 69
          "40000189800145"});   // slot 1, receiver active 69
  expect("c00102000208380018",  // seq 2, slot 2, create trunk {trunk 0, timeslot 3}
         {"c00102000240", "4000028a800103", "40000289800103"});
  expect("c001030001040002", {"c00103000140"});  // slot 1 connect 2: 1 feeds 2
  EXPECT_EQ(switchMap(), Lines{"3 <- 69"});
  expect("c001040002040001", {"c00104000240"});  // slot 2 connect 1
  EXPECT_EQ(switchMap(), (Lines{"3 <- 69", "69 <- 3"}));
  // Connecting the same pair again leaves the switch alone (the count of
  // disables grows with the sweep of idle outputs).
  auto connects = [&] {
    const Lines counts = control("hal switch counts");
    return counts.empty() ? std::string() : counts[0].substr(0, counts[0].find(" disable"));
  };
  EXPECT_EQ(connects(), "connect 2");
  expect("c001040002040001", {"c00104000240"});
  EXPECT_EQ(connects(), "connect 2");

  expect("c00105000206", {"c00105000240"});  // slot 2 disconnect: its output goes idle
  EXPECT_EQ(switchMap(), (Lines{"3 = 0xD5", "69 <- 3"}));
  expect("c0010600010a", {"c00106000140"});  // destroy slot 1: exactly one reply, no stream signal
  EXPECT_TRUE(controller.quiet(50));
  EXPECT_EQ(switchMap(), (Lines{"3 = 0xD5", "69 = 0xD5"}));
  expect("c00107000106", {"c00107000163"});      // slot 1 disconnect: slotNotExists
  expect("c001080002040001", {"c00108000263"});  // slot 2 connect 1: slotNotExists
  EXPECT_TRUE(daemon.errHas("mux: slot 01:trunk [69] -> 02:trunk [3]\n"));
  EXPECT_TRUE(daemon.errHas("mux: disconnect slot 02:trunk [3]\n"));
}

TEST_F(Slots, ATimeslotIsTakenOverByANewSlotNumberAndBadTrunksAreRefused) {
  expect("40000a08380138", {"40000a40", "40000a8a800127", "40000a89800127"});  // slot 10, trunk {1, 7}
  expect("40000b08380138",                                                     // slot 11, the same timeslot
         {"40000b40", "40000b8a800127", "40000b89800127"});
  EXPECT_TRUE(controller.quiet(50));  // nothing about slot 10
  EXPECT_TRUE(daemon.errHas("trunk-slot: two slots require the same timeslot, remove old.\n old slot 10:trunk\n"));
  expect("40000a06", {"40000a63"});  // slot 10 is gone

  expect("40000c08400310", {"40000c40", "40000c8a80010e", "40000c8980010e"});  // trunk_bri {3, 2}: channel 14
  expect("40000d08400320", {"40000d61"});  // trunk_bri timeslot 4: insufficientResources
  expect("40000d08380400", {"40000d61"});  // trunk 4
  expect("c003018318000008389210", {"c003018318000061"});  // seq 99096, slot 0, trunk 146
}

TEST_F(Slots, BusMapExtensionEchoAndMccSlots) {
  // seq 93923, slot 1023, map with only a receiver {bus 2, channel 106}: 8192 + 256 + 106.
  expect("c003016ee303ff084a5a80", {"c003016ee303ff40", "4003ff898002216a"});
  EXPECT_TRUE(controller.quiet(50));
  // The same bus channel as transmitter and receiver of one slot is refused.
  expect("400005084e004008", {"40000561"});
  // A later map slot on a bus channel in use (here as transmitter) destroys the older one.
  expect("400006084c2000", {"40000640", "4000068a80022080"});  // slot 6, transmitter {1, 0}
  expect("400007084a2000", {"40000740", "4000078980022080"});  // slot 7, receiver {1, 0}
  expect("400006040007", {"40000663"});                        // slot 6 is gone
  EXPECT_TRUE(daemon.errHas("map-slot: two slots require the same ipc-slot, remove old.\nnew slot na:map <-> old slot 06:map\n"));

  // Extension {transmitter 3, receiver 4}: transmits at once, receives only while activated.
  expect("400001083800f8", {"40000140", "4000018a80011f", "4000018980011f"});  // slot 1, trunk {0, 31}
  expect("400014085001030104", {"40001440", "4000148a80022003"});
  expect("400001040014", {"40000169"});  // slot 1 connect 20: connectFail
  expect("4000140c00", {"4000148980022004", "40001440"});  // activate: receiver active 8196, then success
  EXPECT_EQ(switchMap(), (Lines{"8196 = 0xD5"}));
  expect("400001040014", {"40000140"});
  EXPECT_EQ(switchMap(), (Lines{"8196 <- 31"}));
  expect("4000140e", {"4000148900", "40001440"});  // deactivate: receiver inactive, output off
  EXPECT_EQ(switchMap(), Lines{});
  expect("40001508500208000100", {"40001561"});  // transmitter 2048 lies past the buses
  expect("400016086001000100", {"40001661"});    // echo: no bus was found

  // MCC: a data channel; user data both ways.
  expect("40001e0858", {"40001e40"});
  EXPECT_EQ(control("mcc channels"), Lines{"256 type=0"});
  expect("40001e1002cafe", {"40001e40"});
  EXPECT_EQ(control("mcc written"), Lines{"256 CAFE"});
  control("mcc receive 256 BEEF");
  EXPECT_EQ(controller.receive(), "40001e8802beef");
  control("absent mcc");
  expect("40001f0858", {"40001f61"});
  EXPECT_TRUE(daemon.errHas("mcc: fail to open MCC device: No such file or directory\n"));
  control("present mcc");
  control("fail mcc ioctl 0x40144D00 ENOSPC");
  expect("40001f0858", {"40001f61"});
  EXPECT_TRUE(daemon.errHas("mcc: MCC_ALLOCATE fail: No space left on device\n"));
}

TEST_F(Slots, QueryIsAnsweredThenTheResourcesFollowAndSighupSendsThemAgain) {
  const std::string resources = "200001000100010001000100010001000080011001080108000100010001000100";
  expect("80010900", {"80010940", resources});  // seq 9 query: success, then the query signal
  control("mcc resources 0 0 0");
  daemon.signal(SIGHUP);
  EXPECT_EQ(controller.receive(), "200001000100010001000100010001000080010001000100000100010001000100");
  EXPECT_TRUE(daemon.errHas("update hardware resources\n"));
}

TEST_F(Slots, ControllerLossDestroysEverySlotAndFreesEveryOutput) {
  expect("c00101000108380228", {"c00101000140", "4000018a800145", "40000189800145"});
  expect("c00102000208380018", {"c00102000240", "4000028a800103", "40000289800103"});
  expect("c001030001040002", {"c00103000140"});
  expect("c001040002040001", {"c00104000240"});
  expect("c003016ee303ff084a5a80", {"c003016ee303ff40", "4003ff898002216a"});
  expect("4000010403ff", {"40000140"});  // slot 1 also feeds the bus receiver of slot 1023
  expect("40001e0858", {"40001e40"});
  EXPECT_EQ(switchMap(), (Lines{"3 <- 69", "69 <- 3", "8554 <- 69"}));
  controller.close();
  ASSERT_TRUE(e2e::waitFor([&] { return control("mcc channels").empty(); }));
  for (const std::string& line : switchMap()) EXPECT_EQ(line.find("<-"), std::string::npos) << line;

  // The numbers and the timeslots are free for the next controller.
  Controller next;
  ASSERT_TRUE(next.connect(daemon.port()));
  next.send("c00101000108380228");
  EXPECT_EQ(next.receive(), "c00101000140");
  EXPECT_EQ(next.receive(), "4000018a800145");
  EXPECT_EQ(next.receive(), "40000189800145");
  EXPECT_EQ(daemon.err().find("trunk-slot: two slots"), std::string::npos);
}

}  // namespace
