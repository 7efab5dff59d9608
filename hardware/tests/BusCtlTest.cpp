// Clock source selection: each form of clockCfg, what the driver is given and
// what is logged, a refused request (golden/bus-clock.txt), and the fall-back
// to free-run on disconnect.

#include "hardware/tests/Support.h"

using hw::control;
using hw::Lines;

class BusCtlTest : public hw::ServiceTest {};

TEST_F(BusCtlTest, ClockCfgSelectsBySelectorEnableAndSource) { EXPECT_TRUE(script("bus-clock")); }

TEST_F(BusCtlTest, DisconnectFallsBackToFreeRun) {
  control("hal clock clear");
  disconnect();
  EXPECT_EQ(control("hal clock history"), Lines{"4"});
  EXPECT_EQ(logged(),
            "| clkctl: set clock source cmd: {\n|   clkSel0 internal,\n|   bextEn disabled,\n|   source -1\n| }\n"
            "| clkctl: clock source = freerun\n");
}
