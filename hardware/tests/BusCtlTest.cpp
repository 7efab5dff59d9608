// Clock source selection: each form of clockCfg, what the driver is given and
// what is logged, a refused request, and the fall-back to free-run on
// disconnect.

#include <iostream>

#include "hardware/tests/Support.h"

using Testing::Capture;
using Testing::count;
using hw::board;
using hw::Frames;
using hw::Lines;

namespace {

LGCP::Command clockCfg(LGCP::ClkSel0::NamedNumber sel, LGCP::BExtEn::NamedNumber ext, int source) {
  LGCP::Command cmd;
  cmd.select_clockCfg().set_clkSel0(sel);
  cmd.select_clockCfg().set_bextEn(ext);
  cmd.select_clockCfg().set_source(source);
  return cmd;
}

const auto External = LGCP::ClkSel0::external;
const auto Internal = LGCP::ClkSel0::internal;
const auto Enabled = LGCP::BExtEn::enabled;
const auto Disabled = LGCP::BExtEn::disabled;

}  // namespace

class BusCtlTest : public hw::ServiceTest {};

TEST_F(BusCtlTest, ClockCfgSelectsBySelectorEnableAndSource) {
  const struct {
    LGCP::ClkSel0::NamedNumber sel;
    LGCP::BExtEn::NamedNumber ext;
    int source;
    const char* selected;  // what the driver got, "" for nothing
    const char* logged;
  } cases[] = {
      {External, Enabled, 0, "0", "f0"},      {External, Enabled, 3, "3", "f3"},
      {External, Enabled, 4, "4", "freerun"}, {External, Enabled, 5, "5", "X3"},
      {External, Enabled, 6, "6", "?1"},      {External, Enabled, 7, "7", "?2"},
      {External, Enabled, 128, "128", "128"}, {External, Disabled, 2, "5", "X3"},
      {Internal, Enabled, 2, "4", "freerun"}, {External, Enabled, -1, "", ""},
  };
  for (const auto& k : cases) {
    board("hal clock clear");
    Capture err(std::cerr);
    EXPECT_EQ(command(clockCfg(k.sel, k.ext, k.source)), Frames{hw::success}) << k.source;
    EXPECT_EQ(board("hal clock history"), *k.selected ? Lines{k.selected} : Lines{}) << k.source;
    EXPECT_EQ(count(err.str(), "clkctl: set clock source cmd: {"), 1u);
    EXPECT_EQ(count(err.str(), "clkctl: clock source = " + std::string(k.logged) + "\n"), *k.logged ? 1u : 0u);
  }
}

TEST_F(BusCtlTest, ARefusedSelectionIsLoggedAndAnsweredSuccessAndDisconnectFallsBack) {
  board("fail hal ioctl 0x80044301 EIO");
  Capture err(std::cerr);
  EXPECT_EQ(command(clockCfg(External, Enabled, 1)), Frames{hw::success});
  EXPECT_EQ(count(err.str(), "clkctl: HW_CLOCK_SELECT fail.\n"), 1u);
  EXPECT_EQ(count(err.str(), "clock source = "), 0u);
  board("heal hal");
  board("hal clock clear");
  disconnect();
  EXPECT_EQ(board("hal clock history"), Lines{"4"});
  EXPECT_EQ(count(err.str(),
                  "clkctl: set clock source cmd: {\n  clkSel0 internal,\n  bextEn disabled,\n  source -1\n}\n"
                  "clkctl: clock source = freerun\n"),
            1u);
}
