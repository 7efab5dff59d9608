// Clock source selection: the default on every connect and disconnect, each
// form of clockCfg, and a driver that refuses the request.

#include <iostream>

#include "hardware/tests/Support.h"

using fixture::Capture;
using fixture::count;
using hw::board;
using hw::Frames;
using hw::success;
using Lines = std::vector<std::string>;

namespace {

Lines clockHistory() {
  auto lines = board("hal clock history");
  lines.pop_back();
  return lines;
}

LGCP::Command clockCfg(LGCP::ClkSel0::NamedNumber sel, LGCP::BExtEn::NamedNumber ext, int source) {
  LGCP::Command cmd;
  LGCP::ClockCfg& cfg = cmd.select_clockCfg();
  cfg.set_clkSel0(sel);
  cfg.set_bextEn(ext);
  cfg.set_source(source);
  return cmd;
}

const auto External = LGCP::ClkSel0::external;
const auto Internal = LGCP::ClkSel0::internal;
const auto Enabled = LGCP::BExtEn::enabled;
const auto Disabled = LGCP::BExtEn::disabled;

}  // namespace

class BusCtlTest : public hw::ServiceTest {};

TEST_F(BusCtlTest, EveryConnectAndDisconnectFallsBackToFreeRun) {
  Capture err(std::cerr);
  auto c = controller();
  EXPECT_EQ(clockHistory(), Lines{"4"});
  EXPECT_EQ(count(err.str(),
                  "clkctl: set clock source cmd: {\n  clkSel0 internal,\n  bextEn disabled,\n  source -1\n}\n"
                  "clkctl: clock source = freerun\n"),
            1u);
  c.reset();
  ASSERT_TRUE(fixture::run_until([] { return fixture::first().disconnects == 1; }));
  EXPECT_EQ(clockHistory(), (Lines{"4", "4"}));
}

TEST_F(BusCtlTest, ClockCfgSelectsBySelectorEnableAndSource) {
  auto c = controller();
  struct Case {
    LGCP::ClkSel0::NamedNumber sel;
    LGCP::BExtEn::NamedNumber ext;
    int source;
    const char* selected;  // what the driver got, "" for nothing
    const char* logged;
  } cases[] = {
      {External, Enabled, 0, "0", "f0"},     {External, Enabled, 1, "1", "f1"},
      {External, Enabled, 2, "2", "f2"},     {External, Enabled, 3, "3", "f3"},
      {External, Enabled, 4, "4", "freerun"}, {External, Enabled, 5, "5", "X3"},
      {External, Enabled, 6, "6", "?1"},     {External, Enabled, 7, "7", "?2"},
      {External, Enabled, 128, "128", "128"}, {External, Disabled, 2, "5", "X3"},
      {Internal, Enabled, 2, "4", "freerun"}, {Internal, Disabled, -1, "4", "freerun"},
      {External, Enabled, -1, "", ""},
  };
  for (const Case& k : cases) {
    ASSERT_EQ(board("hal clock clear"), Lines{"OK"});
    Capture err(std::cerr);
    EXPECT_EQ(command(*c, clockCfg(k.sel, k.ext, k.source)), Frames{success}) << k.source;
    EXPECT_EQ(clockHistory(), *k.selected ? Lines{k.selected} : Lines{}) << k.source;
    EXPECT_EQ(count(err.str(), "clkctl: set clock source cmd: {"), 1u);
    if (*k.logged) EXPECT_EQ(count(err.str(), std::string("clkctl: clock source = ") + k.logged + "\n"), 1u);
    else EXPECT_EQ(count(err.str(), "clock source = "), 0u);
  }
}

TEST_F(BusCtlTest, ARefusedSelectionIsLoggedAndStillAnsweredSuccess) {
  auto c = controller();
  ASSERT_EQ(board("fail hal ioctl 0x80044301 EIO"), Lines{"OK"});
  Capture err(std::cerr);
  EXPECT_EQ(command(*c, clockCfg(External, Enabled, 1)), Frames{success});
  EXPECT_EQ(count(err.str(), "clkctl: HW_CLOCK_SELECT fail.\n"), 1u);
  EXPECT_EQ(count(err.str(), "clock source = "), 0u);
}
